#pragma once

// The commands behind the command line. Each writes its result to standard output and throws
// BadInput for anything wrong with what it was given.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "io/Output.h"

#ifdef LMWIRE_HAVE_CAPTURE
namespace Lumera::capture {
class ByteStream;
}
#endif

namespace lmwire {

// Displays are price::Display's, the text of every front end; `originalDisplay` adds a column of
// the original members' text.
void RunPrice(const std::string& code, const std::vector<std::string>& ticks, bool originalDisplay);
// Texts are read exactly as display texts, or as decimal numbers truncated to ticks.
void RunTicks(const std::string& code, const std::vector<std::string>& texts, bool asDecimal);
void RunFormats(bool originalDisplay);

struct DecodeOptions {
    std::string kind;
    std::string file;
    bool binary = false;
    bool json = false;
    bool csv = false;
    std::string timeUnit;  // s, ms or us: an ISO 8601 column of the record's time stamp
    // Decode the whole records of a capture that ends inside one, and only warn of the rest.
    bool partial = false;
    // Threads that format a capture file; 0 for one per core.
    unsigned jobs = 0;
    // A pcap or pcapng file of UDP datagrams, and the destination ports that carry records.
    std::string pcap;
    std::vector<int> ports;
    // A dataset directory's partitions to read: inclusive dates, ids (none: all).
    std::string dateFrom;
    std::string dateTo;
    std::vector<int> lumeraIds;
};
void RunDecode(const DecodeOptions& options);
class Input;
class Output;
// The records of the UDP datagrams of a pcap or pcapng capture, to `out`.
void DecodePacketCapture(Input& input, Output& out, const DecodeOptions& options);
// Whether this build reads and writes packet captures and compressed files (the capture
// component was built).
bool CaptureAvailable();
void RunEncode(const std::string& kind, const std::vector<std::string>& assignments, bool binary,
               Compress compress = {});
// Decoded lines (JSON objects, or CSV with its header) back into a binary capture.
void RunEncodeLines(const std::string& kind, bool csv, const std::string& input,
                    const std::string& output, Compress compress = {});

struct SynthPcapOptions {
    std::string file;   // a pcap instead of raw records, when not empty
    Compress compress;  // of the pcap or of the raw records
    std::string source = "192.0.2.1:40000";
    std::string destination = "239.192.0.1:9100";
    // The market's size, as the command line gives them (checked by RunSynthPrices).
    std::string contracts = "4";
    std::string days = "0";
};
void RunSynthPrices(const std::string& count, const std::string& file, std::uint64_t seed,
                    const SynthPcapOptions& pcap = {});

// Captures into a partitioned dataset (see wire_types/capture/Dataset.h).
struct SplitOptions {
    std::vector<std::string> inputs;
    std::string directory;
    std::vector<int> ports;  // as decode --port
    bool noCompress = false;
    int level = 3;
    std::string timeUnit = "s";
    std::string zone = "UTC";
    std::uint64_t partBytes = std::uint64_t{64} << 20;
};
void RunSplit(const SplitOptions& options);
// A directory on the command line (not standard input).
bool IsDirectory(const std::string& path);
#ifdef LMWIRE_HAVE_CAPTURE
// The records of the dataset directory `options.file`, its partitions chosen by the options.
std::unique_ptr<Lumera::capture::ByteStream> OpenDataset(const DecodeOptions& options);
#endif

void RunDemo();

}  // namespace lmwire
