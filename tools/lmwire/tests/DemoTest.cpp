#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>

#include <chrono>
#include <cstdint>

#include "DemoExchange.h"
#include "RunTool.h"

namespace lmwire_test {
namespace {

TEST(Demo, PrintsItsFourSectionsQuickly) {
    const auto start = std::chrono::steady_clock::now();
    const Result result = RunTool({"demo"});
    const auto took = std::chrono::steady_clock::now() - start;
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    // Generous for sanitizer builds; the release build takes milliseconds.
    EXPECT_LT(took, std::chrono::seconds(5));

    const std::string& out = result.out;
    const std::vector<std::string> sections = {
        "== 1. Logon handshake over loopback TCP ==",
        "== 2. Market-data price record as a ladder ==",
        "== 3. Account contracts and roll-over look-up ==",
        "== 4. Order events applied to a live order book =="};
    std::size_t at = 0;
    for (const std::string& section : sections) {
        at = out.find(section, at);
        ASSERT_NE(at, std::string::npos) << section;
    }
    // Both sides decoded what crossed the socket.
    EXPECT_NE(out.find("server  received 424 bytes"), std::string::npos);
    EXPECT_NE(out.find("UserID               \"trader7\""), std::string::npos);
    EXPECT_NE(out.find("client  received 8 bytes"), std::string::npos);
    EXPECT_NE(out.find("Port       9101"), std::string::npos);
    // The ladder in the record's own format: level 0 and level 9 of both sides.
    EXPECT_NE(out.find("9.205 x 3"), std::string::npos);
    EXPECT_NE(out.find("0        12  9.202  9.207         9"), std::string::npos);
    EXPECT_NE(out.find("9       130  9.175  9.235       150"), std::string::npos);
    // The roll-over request finds a contract whatever the month.
    EXPECT_NE(out.find("\"ES#\"    -> ES"), std::string::npos);
    EXPECT_NE(out.find("\"NQ#\"    -> none"), std::string::npos);
    // Each event says whether the book kept it; the book after the last event: the retire
    // emptied the working orders.
    EXPECT_NE(out.find("4. working under a held id: status 2, order 102 -> not kept (id already "
                       "held)\n     working  #101 buy 5 @ 6012.25, #102 sell 2 @ 6020.00, #104"),
              std::string::npos);
    EXPECT_NE(out.find("10. retire 104 (status 1): status 1, order 0, original 104 -> not kept "
                       "(retires its original)\n"
                       "     working  -\n"
                       "     fills    #102 2 @ 6020.00 (0 left), #103 2 @ 6013.00 (3 left)\n"
                       "     cancels  #103 3 @ 6013.00\n"),
              std::string::npos);
}

using lmwire::Deadline;
using std::chrono::milliseconds;

TEST(DemoExchange, EachWaitGetsOnlyWhatIsLeftOfTheOneDeadline) {
    const Deadline::Clock::time_point start{};
    const Deadline deadline(start, std::chrono::seconds(3));
    EXPECT_EQ(deadline.WaitMs(start), 3000);
    // A peer trickling a byte every 1.5 s gets no fresh timeout per call.
    EXPECT_EQ(deadline.WaitMs(start + milliseconds(1500)), 1500);
    EXPECT_EQ(deadline.WaitMs(start + milliseconds(2999)), 1);
    EXPECT_FALSE(deadline.Passed(start + milliseconds(2999)));
    // Rounded up: a wait never ends just before the deadline and reads as "no time left".
    EXPECT_EQ(deadline.WaitMs(start + std::chrono::microseconds(2'999'001)), 1);
    EXPECT_EQ(deadline.WaitMs(start + milliseconds(3000)), 0);
    EXPECT_TRUE(deadline.Passed(start + milliseconds(3000)));
    EXPECT_EQ(deadline.WaitMs(start + std::chrono::hours(1)), 0);
}

sockaddr_in Address(std::uint32_t host, std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(host);
    address.sin_port = htons(port);
    return address;
}

TEST(DemoExchange, OnlyTheClientsOwnAddressAndPortIsItsClient) {
    const sockaddr_in client = Address(INADDR_LOOPBACK, 40000);
    EXPECT_TRUE(lmwire::IsOwnClient(Address(INADDR_LOOPBACK, 40000), client));
    // Another process on the same machine: same address, its own port.
    EXPECT_FALSE(lmwire::IsOwnClient(Address(INADDR_LOOPBACK, 40001), client));
    // The same port from another loopback address (127.0.0.2).
    EXPECT_FALSE(lmwire::IsOwnClient(Address(INADDR_LOOPBACK + 1, 40000), client));
    sockaddr_in otherFamily = client;
    otherFamily.sin_family = AF_INET6;
    EXPECT_FALSE(lmwire::IsOwnClient(otherFamily, client));
}

}  // namespace
}  // namespace lmwire_test
