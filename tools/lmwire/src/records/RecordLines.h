#pragma once

// The 86-byte price record as lines of text, JSON or CSV: records are read in place through the
// library's view. Every format follows one list of the record's fields, so the three cannot
// drift apart, and a line is written into a fixed buffer with no allocation per record: a
// capture decode spends its time here.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "wire_types/price/PriceRecord.h"

namespace lmwire {

constexpr std::size_t kPriceRecordSize = Lumera::PriceRecordLayout::kSize;

enum class LineFormat { Text, Json, Csv };
// How the record's time stamp, which the library does not interpret, is read for the optional
// ISO 8601 column: seconds, milliseconds or microseconds since 1970 (UTC).
enum class TimeUnit { None, Seconds, Milliseconds, Microseconds };

// From the command line's --json, --csv and --time-unit; BadInput for both formats or another
// unit.
LineFormat FormatOf(bool json, bool csv);
TimeUnit ParseTimeUnit(const std::string& unit);

// The names of a value in the lines: its text and JSON key and its CSV column.
struct FieldName {
    std::string_view key;
    std::string_view column;
};

// Values a line shows that follow from the record's fields: never read back. The record's own
// fields are named by the library's table (PriceRecordLayout::kFields).
inline constexpr const char* kTimeName = "TimeStampUTC";
inline constexpr std::array<const char*, 3> kTextNames = {"LastPriceText", "BestBidText",
                                                          "BestAskText"};
// Columns that a capture adds.
inline constexpr std::array<FieldName, 5> kCaptureFields = {
    {{"CaptureTime", "capture_time"},
     {"Source", "source"},
     {"SourcePort", "source_port"},
     {"Destination", "destination"},
     {"DestinationPort", "destination_port"}}};

// Where a datagram of a network capture came from, shown before each of its records.
struct CaptureInfo {
    std::int64_t seconds = 0;  // capture time, UTC
    std::uint32_t microseconds = 0;
    std::string source;  // address as text
    std::uint16_t sourcePort = 0;
    std::string destination;
    std::uint16_t destinationPort = 0;
};

// "2025-11-24T16:00:00Z", with `digits` (0, 3 or 6) of a second's fraction before the Z.
void AppendIsoTime(std::string& out, std::int64_t seconds, std::uint32_t fraction, int digits);

class PriceRecordLines {
  public:
    explicit PriceRecordLines(LineFormat format = LineFormat::Text,
                              TimeUnit timeUnit = TimeUnit::None);

    // The CSV header line, with the capture columns first for a network capture; "" otherwise.
    std::string Header(bool capture) const;
    // The capture's part of each line of the datagram's records, written once per datagram.
    std::string CapturePrefix(const CaptureInfo& capture) const;
    // The most bytes Write writes: the JSON line with every price at -2147483648, every size at
    // 65535, the capture and time columns and a text of every byte escaped is under 1500.
    static constexpr std::size_t kMaxLine = 2048;
    // One line at `at`, returning its end: text (Name=value, depth as price:size pairs), a JSON
    // object or a CSV row. A capture is written in place, a line at a time, with no copy.
    char* Write(char* at, Lumera::PriceRecordView record, std::string_view capturePrefix = {});
    // The same line appended to `out`.
    void Append(Lumera::PriceRecordView record, std::string& out,
                std::string_view capturePrefix = {});

    // The plain forms, for a single record.
    void AppendLine(Lumera::PriceRecordView record, std::string& out) { Append(record, out); }

  private:
    LineFormat format_;
    TimeUnit timeUnit_;
    // What comes before each value, spelled once for the format: the key and separator of each
    // scalar field, of the time column, of each side's list and of a level's price and size.
    std::vector<std::string> before_;
    std::string time_;
    std::array<std::string, 2> sides_;
    std::string lastPriceText_;
};

// One JSON object for one record, as decode --json writes it.
std::string PriceRecordJsonLine(Lumera::PriceRecordView record);

}  // namespace lmwire
