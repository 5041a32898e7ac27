#include <memory>
#include "wire_types/LMWireTypes.h"

using namespace Lumera;

int main() {
    LogonResponsePacket response(errNone);
    response.SetPort(9100);

    long length = 0;
    std::unique_ptr<unsigned char[]> bytes(response.Encode(&length));  // 8 bytes, little-endian

    LogonResponsePacket received(bytes.get());
    return received.GetPort() == 9100 ? 0 : 1;
}
