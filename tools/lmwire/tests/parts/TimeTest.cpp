// The ISO 8601 UTC time that a capture's lines begin with, across the calendar's rules.

#include <gtest/gtest.h>

#include "records/RecordLines.h"

namespace lmwire {
namespace {

TEST(IsoTime, CivilDatesOnEitherSideOf1970AndTheCenturies) {
    const std::pair<std::int64_t, const char*> cases[] = {
        {0, "1970-01-01T00:00:00"},           {-1, "1969-12-31T23:59:59"},
        {3599, "1970-01-01T00:59:59"},        {951825600, "2000-02-29T12:00:00"},
        {4107542399, "2100-02-28T23:59:59"},  {4107542400, "2100-03-01T00:00:00"},
        {-2203891200, "1900-03-01T00:00:00"}, {253402300799, "9999-12-31T23:59:59"},
    };
    const PriceRecordLines csv(LineFormat::Csv);
    for (const auto& [seconds, expected] : cases) {
        const std::string prefix = csv.CapturePrefix({seconds, 7, "a", 1, "b", 2});
        EXPECT_EQ(prefix, std::string(expected) + ".000007Z,a,1,b,2,") << seconds;
    }
}

}  // namespace
}  // namespace lmwire
