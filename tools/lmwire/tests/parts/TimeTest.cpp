// The ISO 8601 UTC times of the lines: a capture's time, and the record's time stamp read in the
// unit asked for, across the calendar's rules and on either side of 1970.

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

TEST(IsoTime, TheTimeStampIsReadInItsUnit) {
    const struct {
        TimeUnit unit;
        std::int32_t stamp;
        const char* expected;
    } cases[] = {
        {TimeUnit::Seconds, -2147483647 - 1, "1901-12-13T20:45:52Z"},
        {TimeUnit::Seconds, 2147483647, "2038-01-19T03:14:07Z"},
        {TimeUnit::Milliseconds, -1, "1969-12-31T23:59:59.999Z"},
        {TimeUnit::Milliseconds, 86399999, "1970-01-01T23:59:59.999Z"},
        {TimeUnit::Microseconds, -1000001, "1969-12-31T23:59:58.999999Z"},
        {TimeUnit::Microseconds, 60000001, "1970-01-01T00:01:00.000001Z"},
    };
    for (const auto& c : cases) {
        const auto record = Lumera::PriceRecordBuilder().TimeStamp(c.stamp).Bytes();
        std::string line;
        PriceRecordLines(LineFormat::Json, c.unit)
            .Append(Lumera::PriceRecordView(record.data()), line);
        EXPECT_NE(line.find(std::string("\"TimeStampUTC\":\"") + c.expected + "\""),
                  std::string::npos)
            << line;
    }
}

}  // namespace
}  // namespace lmwire
