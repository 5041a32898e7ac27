#include <gtest/gtest.h>

#include <chrono>

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
    // The book after the last event: the retire emptied the working orders.
    EXPECT_NE(out.find("9. retire 104 (status 1): status 1, order 0, original 104\n"
                       "     working  -\n"
                       "     fills    #102 2 @ 6020.00 (0 left), #103 2 @ 6013.00 (3 left)\n"
                       "     cancels  #103 3 @ 6013.00\n"),
              std::string::npos);
}

}  // namespace
}  // namespace lmwire_test
