#include "RunTool.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace lmwire_test {
namespace {

// A feeder writes into pipes that the program may close: the test must not die of it.
const bool kSigpipeIgnored = signal(SIGPIPE, SIG_IGN) != SIG_ERR;

// Every descriptor the test opens is closed on exec: a child holding the write end of its own
// input pipe would never see the input end.
int Open(const std::string& path, int flags) {
    return open(path.c_str(), flags | O_CLOEXEC, 0600);
}

pid_t Spawn(const std::vector<std::string>& args, int in, int out, int err, bool ignoreSigpipe) {
    std::vector<std::string> words = {LMWIRE_TOOL};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        signal(SIGPIPE, ignoreSigpipe && kSigpipeIgnored ? SIG_IGN : SIG_DFL);
        execv(LMWIRE_TOOL, argv.data());
        _exit(127);
    }
    if (pid < 0) {
        throw std::runtime_error("cannot start " LMWIRE_TOOL);
    }
    return pid;
}

Result Wait(pid_t pid, int timeoutSeconds) {
    Result result;
    int status = 0;
    rusage usage{};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    while (wait4(pid, &status, WNOHANG, &usage) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            result.timedOut = true;
            kill(pid, SIGKILL);
            wait4(pid, &status, 0, &usage);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.maxRssKb = usage.ru_maxrss;
    return result;
}

// Writes `pattern` over and over into `fd` until `bytes` have gone or the reader stops.
void Feed(int fd, const std::string& pattern, std::uint64_t bytes) {
    std::string block;
    while (block.size() < (1u << 16)) {
        block += pattern;
    }
    for (std::uint64_t sent = 0; sent < bytes;) {
        const ssize_t n =
            write(fd, block.data(), std::min<std::uint64_t>(block.size(), bytes - sent));
        if (n <= 0) {
            break;
        }
        sent += static_cast<std::uint64_t>(n);
    }
    close(fd);
}

}  // namespace

Result RunTool(const ToolRun& run) {
    TempDir dir;
    WriteText(dir.Path("in"), run.input);
    int feed[2] = {-1, -1};
    int out[2] = {-1, -1};
    if ((!run.feed.empty() && pipe2(feed, O_CLOEXEC) != 0) ||
        (run.outputToClosedPipe && pipe2(out, O_CLOEXEC) != 0)) {
        throw std::runtime_error("pipe failed");
    }
    // The reader goes before the program starts, so that even a short output meets no reader.
    close(out[0]);
    const int in = feed[0] >= 0 ? feed[0] : Open(dir.Path("in"), O_RDONLY);
    if (out[1] < 0) {
        out[1] = Open(run.outputPath.empty() ? dir.Path("out") : run.outputPath,
                      O_WRONLY | O_CREAT | O_TRUNC);
    }
    const int err = Open(dir.Path("err"), O_WRONLY | O_CREAT | O_TRUNC);
    const pid_t pid = Spawn(run.args, in, out[1], err, run.ignoreSigpipe);
    for (const int fd : {in, out[1], err}) {
        close(fd);
    }
    std::thread feeder;
    if (feed[1] >= 0) {
        feeder = std::thread(Feed, feed[1], run.feed, run.feedBytes);
    }
    Result result = Wait(pid, run.timeoutSeconds);
    if (feeder.joinable()) {
        feeder.join();
    }
    if (run.outputPath.empty() && !run.outputToClosedPipe) {
        result.out = ReadText(dir.Path("out"));
    }
    result.err = ReadText(dir.Path("err"));
    return result;
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "lmwire-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string SynthPrices(const TempDir& dir, int count, int seed) {
    const std::string path = dir.Path("capture.bin");
    const Result made =
        RunTool({"synth", "prices", std::to_string(count), path, "--seed", std::to_string(seed)});
    if (made.status != 0) {
        throw std::runtime_error("lmwire synth failed: " + made.err);
    }
    return path;
}

Bytes ReadFile(const std::string& path) {
    const std::string text = ReadText(path);
    return Bytes(text.begin(), text.end());
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    WriteText(path, std::string(bytes.begin(), bytes.end()));
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

int Shell(const std::string& command) {
    // text2pcap reports on standard error even when asked to be quiet.
    return std::system(("TZ=UTC " + command + " 2>/dev/null").c_str());
}

bool Installed(const std::string& program) {
    return Shell("command -v " + program + " >/dev/null") == 0;
}

std::string Text2pcapDump(const std::string& time, const Bytes& bytes) {
    std::string hex = ToHex(bytes);
    std::string text = time + "\n000000";
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        text += " " + hex.substr(i, 2);
    }
    return text + "\n";
}

std::string Text2pcap(const TempDir& dir, const std::string& dump, const std::string& options) {
    static int made = 0;
    WriteText(dir.Path("dump.txt"), dump);
    const std::string pcap = dir.Path("text2pcap" + std::to_string(++made));
    if (Shell("text2pcap -q -t '%Y-%m-%dT%H:%M:%S.%f' " + options + " " + dir.Path("dump.txt") +
              " " + pcap) != 0) {
        throw std::runtime_error("text2pcap " + options + " failed");
    }
    return pcap;
}

}  // namespace lmwire_test
