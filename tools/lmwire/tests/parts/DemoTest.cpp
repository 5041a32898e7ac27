#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "Parts.h"
#include "demo/Demo.h"
#include "demo/DemoExchange.h"

namespace lmwire_test {
namespace {

using lmwire::DemoAccount;
using lmwire::ParseDemoDate;

// The sections in order, what crossed the socket decoded on both sides, the ladder's level 9,
// the account contracts and their look-ups on the date given (a section that followed the clock
// would show in one of the two months), and the book after the last event: the retire emptied
// the working orders. In December only Z is tried; the next contract lies in the next year.
TEST(Demo, PrintsItsFourSectionsForTheGivenDate) {
    const Outcome result = Call([] { lmwire::RunDemo(ParseDemoDate("2026-03-15")); });
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    std::size_t at = 0;
    for (const std::string part :
         {"== 1. Logon handshake", "server  received 424 bytes", "client  received 8 bytes",
          "Port       9101", "== 2. Market-data price record", "9.205 x 3",
          "9       130  9.175  9.235       150", "== 3. Account contracts",
          "  1002  ESM6  Jun 2026        -1     50   -212.5      6025.25\n",
          "position 3 -> 5, P&L 1837.5 -> 2462.5",
          "today is 15 March 2026; a roll-over request tries ESH6 up to ESZ6",
          "\"ES#\"    -> ESH6 (contract 1001)\n", "== 4. Order events",
          "retires its original)\n     working  -\n     fills    #102 2 @ 6020.00 (0 left)"}) {
        at = result.out.find(part, at);
        ASSERT_NE(at, std::string::npos) << part << "\n" << result.out;
    }
    const std::string december = DemoAccount(ParseDemoDate("2026-12-31"));
    for (const std::string part : {"tries ESZ6 up to ESZ6", "\"ES#\"    -> ESZ6 (contract 1001)",
                                   "  1002  ESH7  Mar 2027 "}) {
        EXPECT_NE(december.find(part), std::string::npos) << part << "\n" << december;
    }
}

TEST(Demo, ABadDateIsAUsageErrorOfOneLine) {
    const std::string notADate = "not a date written YYYY-MM-DD";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"2026-02-29", "February 2026 has no day 29 (it has 28)"},
        {"2026-04-00", "April 2026 has no day 0 (it has 30)"},
        {"2026-13-01", "no month 13"},
        {"1999-12-31", "the year must be 2000 to 9999"},
        {"2026-3-15", notADate},
        {"2026-03-15x", notADate},
    };
    for (const auto& [date, reason] : cases) {
        const Outcome result = Call([&text = date] { ParseDemoDate(text); });
        EXPECT_EQ(result.err.rfind("--today '" + date + "': " + reason, 0), 0u) << result.err;
    }
    // A leap day in a leap year is a date.
    EXPECT_EQ(ParseDemoDate("2028-02-29").day, 29);
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
