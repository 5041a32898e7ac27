// Built against the installed package only: proves the exported surface links and works, and
// that the package tells its consumer what it is.
#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>

#include "wire_types/LMWireTypes.h"
#if defined(LMWIRE_CONSUMER_CAPTURE)
#include "wire_types/capture/Frame.h"
#include "wire_types/capture/Records.h"
#if defined(EXPECT_STATIC) != defined(LMWIRE_CAPTURE_STATIC)
#error "LMWIRE_CAPTURE_STATIC does not match the kind of library installed"
#endif
#endif

// A static library must reach its consumers as one: without LMWIRE_STATIC a Windows consumer
// would expect DLL imports.
#if defined(EXPECT_STATIC) != defined(LMWIRE_STATIC)
#error "LMWIRE_STATIC does not match the kind of library installed"
#endif
#if defined(EXPECTED_VERSION)
static_assert(LMWIRE_VERSION == EXPECTED_VERSION, "Version.h and the CMake package disagree");
#endif
// The package must leave the language standard to its consumer.
#if defined(EXPECT_CXX20)
static_assert(__cplusplus >= 202002L, "the package's flags lowered the language standard");
#endif
// Calls written against 1.1 compile unchanged and reach the same overloads: a null pointer
// constant is never taken for a char or std::byte buffer, and an order held in a variable is
// filed as before.
namespace old_calls {
using namespace Lumera;
template <class Call, class Expected>
constexpr bool kIs = std::is_same_v<Call, Expected>;
static_assert(kIs<decltype(PriceRecordView::Checked(nullptr, 86)), PriceRecordView>);
static_assert(kIs<decltype(PriceRecordView::Checked(0, 86)), PriceRecordView>);
static_assert(kIs<decltype(PriceRecordView::Checked(NULL, 86)), PriceRecordView>);
static_assert(kIs<decltype(WireAccountDataPacket::FromBytes(nullptr, 8)), WireAccountDataPacket>);
static_assert(kIs<decltype(WireAccountDataPacket::FromBytes(0, 8)), WireAccountDataPacket>);
static_assert(kIs<decltype(LogonResponsePacket::FromBytes(nullptr, 8)), LogonResponsePacket>);
static_assert(kIs<decltype(StartLogFileSend::FromBytes({}, 288)), StartLogFileSend>);
static_assert(kIs<decltype(std::declval<CLMWireOrderCollection&>().Apply(
                      std::declval<std::unique_ptr<CLMWireOrder>&>())),
                  Filed>);
static_assert(kIs<decltype(std::declval<CLMWireOrderCompletedCollection&>().Apply(
                      std::declval<std::unique_ptr<CLMWireOrder>&>())),
                  Filed>);
}  // namespace old_calls

// The capture component: a frame written and read back to its one record.
static bool CaptureWorks() {
#if defined(LMWIRE_CONSUMER_CAPTURE)
    using namespace Lumera::capture;
    const Endpoint from{false, {127, 0, 0, 1}, 7000};
    const Endpoint to{false, {127, 0, 0, 2}, 9100};
    unsigned char record[kRecordSize] = {0, 14};
    unsigned char frame[256];
    Packet packet;
    packet.data = frame;
    packet.captured = packet.original =
        WriteUdpFrame(frame, sizeof frame, from, to, 1, record, sizeof record);
    const TakenDatagram taken = TakeDatagram(ReadDatagram(packet), {});
    return packet.captured == 14 + 20 + 8 + kRecordSize && taken.skip == Skip::None &&
           taken.records.count == 1 && taken.records.first == frame + 42;
#else
    return true;
#endif
}

#if defined(LMWIRE_CONSUMER_WINDOWS)
bool SystemHeadersFirst();
bool SystemHeadersAfter();
#endif

int main() {
    BSTR text = SysAllocString(OLESTR("consumer"));
    const bool textOk = text != nullptr && SysStringLen(text) == 8;
    SysFreeString(text);

    bool caught = false;
    try {
        throw new VeyException("consumer");
    } catch (VeyException* e) {
        caught = e->message == "consumer";
        delete e;
    }

    Lumera::LogonResponsePacket response(Lumera::errNone);
    response.SetPort(9100);
    long length = 0;
    unsigned char* bytes = response.Encode(&length);
    const Lumera::LogonResponsePacket received(bytes);
    delete[] bytes;
    const bool packetOk = length == 8 && received.GetPort() == 9100;

#if defined(LMWIRE_CONSUMER_WINDOWS)
    const bool windowsOk = SystemHeadersFirst() && SystemHeadersAfter();
#else
    const bool windowsOk = true;
#endif

    if (!textOk || !caught || !packetOk || !windowsOk || !CaptureWorks()) {
        std::puts("consumer: FAILED");
        return 1;
    }
    std::puts("consumer: ok");
    return 0;
}
