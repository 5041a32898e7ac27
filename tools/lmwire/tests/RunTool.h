#pragma once

// Runs the built lmwire program with arguments and standard input, and collects its output and
// exit status.

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "TestText.h"

namespace lmwire_test {

struct Result {
    int status = -1;  // the exit status, or 128 + signal when the program was killed
    std::string out;
    std::string err;
    bool timedOut = false;  // killed for running past its time limit
    long maxRssKb = 0;      // the program's peak resident memory
};

// A run with its standard streams chosen by the test. Every member has an initializer, so that
// a run names only what it sets (GCC 12 warns of any other that a designated list leaves out).
struct ToolRun {
    std::vector<std::string> args = {};
    std::string input = "";       // standard input, unless the feed below is set
    std::string feed = "";        // repeated through a pipe as standard input...
    std::uint64_t feedBytes = 0;  // ...up to this many bytes, or until the program stops reading
    std::string outputPath = "";  // standard output goes here instead of being collected
    bool outputToClosedPipe = false;  // a pipe whose reader has already gone
    bool ignoreSigpipe = false;       // SIGPIPE ignored in the program, as some parents leave it
    int timeoutSeconds = 60;
};
Result RunTool(const ToolRun& run);
inline Result RunTool(const std::vector<std::string>& args, const std::string& input = "") {
    return RunTool({.args = args, .input = input});
}

// A directory of its own for each test, removed with everything in it.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string Path(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// A capture of `count` synthetic price records, written by the program into `dir`: its path.
std::string SynthPrices(const TempDir& dir, int count, int seed = 1);

Bytes ReadFile(const std::string& path);
void WriteFile(const std::string& path, const Bytes& bytes);
void WriteText(const std::string& path, const std::string& text);

// Other programs (Wireshark's text2pcap, editcap, mergecap, tshark) run through the shell with
// TZ=UTC, their standard error dropped; the exit status.
int Shell(const std::string& command);
bool Installed(const std::string& program);
// A packet as text2pcap reads it: a time, then its bytes from offset 0.
std::string Text2pcapDump(const std::string& time, const Bytes& bytes);

// A capture that text2pcap makes of such packets, `options` choosing its format, addresses and
// ports: its path in `dir`.
std::string Text2pcap(const TempDir& dir, const std::string& dump, const std::string& options);

// Skips the test, saying why, unless the tool reads pcaps and the named programs are there.
#define LMWIRE_REQUIRE_PCAP_TOOLS(...)                                                            \
    do {                                                                                          \
        if (RunTool({"decode", "--help"}).out.find("--pcap TEXT") == std::string::npos) {         \
            GTEST_SKIP() << "lmwire was built without the capture component";                     \
        }                                                                                         \
        for (const std::string program : {__VA_ARGS__}) {                                         \
            if (!Installed(program)) {                                                            \
                GTEST_SKIP() << program << " is not installed (Debian wireshark-common, tshark)"; \
            }                                                                                     \
        }                                                                                         \
    } while (false)

}  // namespace lmwire_test
