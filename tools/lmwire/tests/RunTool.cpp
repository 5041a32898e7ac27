#include "RunTool.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace lmwire_test {

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

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

namespace {

// Writes `pattern` over and over into `fd` until `bytes` have gone or the reader stops.
void Feed(int fd, const std::string& pattern, std::uint64_t bytes) {
    std::string block;
    while (block.size() < (1u << 16)) {
        block += pattern;
    }
    std::uint64_t sent = 0;
    while (sent < bytes) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), bytes - sent));
        const ssize_t n = write(fd, block.data(), want);
        if (n <= 0) {
            break;
        }
        sent += static_cast<std::uint64_t>(n);
    }
    close(fd);
}

}  // namespace

Result RunTool(const std::vector<std::string>& args, const std::string& input) {
    ToolRun run;
    run.args = args;
    run.input = input;
    return RunTool(run);
}

Result RunTool(const ToolRun& run) {
    TempDir dir;
    const std::string in = dir.Path("stdin");
    const std::string out = run.outputPath.empty() ? dir.Path("stdout") : run.outputPath;
    const std::string err = dir.Path("stderr");
    WriteFile(in, Bytes(run.input.begin(), run.input.end()));

    int feedPipe[2] = {-1, -1};
    int outPipe[2] = {-1, -1};
    if ((!run.feed.empty() && pipe(feedPipe) != 0) ||
        (run.outputToClosedPipe && pipe(outPipe) != 0)) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (feedPipe[0] >= 0) {
        posix_spawn_file_actions_adddup2(&actions, feedPipe[0], 0);
        posix_spawn_file_actions_addclose(&actions, feedPipe[0]);
        posix_spawn_file_actions_addclose(&actions, feedPipe[1]);
    } else {
        posix_spawn_file_actions_addopen(
            &actions, 0, run.inputPath.empty() ? in.c_str() : run.inputPath.c_str(), O_RDONLY, 0);
    }
    if (outPipe[1] >= 0) {
        // The reader goes before the program starts: closed after the start, a short output could
        // be written in full, and the program be done, before the reader was gone.
        close(outPipe[0]);
        outPipe[0] = -1;
        posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
        posix_spawn_file_actions_addclose(&actions, outPipe[1]);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
    }
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    // An ignored signal stays ignored across exec; a default one is set back to default.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    if (!run.ignoreSigpipe) {
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    }
    struct sigaction previous {};
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    // The feeder writes into a pipe the program may close; the test must not die of it.
    sigaction(SIGPIPE, &ignore, &previous);

    std::vector<std::string> argv_strings = {LMWIRE_TOOL};
    argv_strings.insert(argv_strings.end(), run.args.begin(), run.args.end());
    std::vector<char*> argv;
    for (std::string& arg : argv_strings) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, LMWIRE_TOOL, &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    for (const int fd : {feedPipe[0], outPipe[1]}) {
        if (fd >= 0) {
            close(fd);
        }
    }
    if (spawned != 0) {
        sigaction(SIGPIPE, &previous, nullptr);
        throw std::runtime_error("cannot start " LMWIRE_TOOL);
    }
    std::thread feeder;
    if (feedPipe[1] >= 0) {
        feeder = std::thread(Feed, feedPipe[1], run.feed, run.feedBytes);
    }

    Result result;
    int status = 0;
    rusage usage{};
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(run.timeoutSeconds);
    while (wait4(pid, &status, WNOHANG, &usage) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            result.timedOut = true;
            kill(pid, SIGKILL);
            wait4(pid, &status, 0, &usage);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (feeder.joinable()) {
        feeder.join();
    }
    sigaction(SIGPIPE, &previous, nullptr);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.maxRssKb = usage.ru_maxrss;
    if (run.outputPath.empty() && !run.outputToClosedPipe) {
        const Bytes outBytes = ReadFile(out);
        result.out.assign(outBytes.begin(), outBytes.end());
    }
    const Bytes errBytes = ReadFile(err);
    result.err.assign(errBytes.begin(), errBytes.end());
    return result;
}

LiveTool::LiveTool(const std::vector<std::string>& args) {
    int inPipe[2];
    int outPipe[2];
    if (pipe(inPipe) != 0 || pipe(outPipe) != 0) {
        throw std::runtime_error("pipe failed");
    }
    char pattern[] = "/tmp/lmwire-live-XXXXXX";
    const int errFd = mkstemp(pattern);
    errPath_ = pattern;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inPipe[0], 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errFd, 2);
    for (const int fd : {inPipe[0], inPipe[1], outPipe[0], outPipe[1], errFd}) {
        posix_spawn_file_actions_addclose(&actions, fd);
    }
    std::vector<std::string> argvStrings = {LMWIRE_TOOL};
    argvStrings.insert(argvStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : argvStrings) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, LMWIRE_TOOL, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(inPipe[0]);
    close(outPipe[1]);
    close(errFd);
    in_ = inPipe[1];
    out_ = outPipe[0];
    if (spawned != 0) {
        throw std::runtime_error("cannot start " LMWIRE_TOOL);
    }
    pid_ = pid;
}

LiveTool::~LiveTool() {
    if (in_ >= 0) {
        close(in_);
    }
    if (out_ >= 0) {
        close(out_);
    }
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    std::remove(errPath_.c_str());
}

void LiveTool::Write(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(in_, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            throw std::runtime_error("cannot write to the program");
        }
        done += static_cast<std::size_t>(n);
    }
}

std::string LiveTool::WaitForLines(std::size_t count, int seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (static_cast<std::size_t>(std::count(collected_.begin(), collected_.end(), '\n')) <
           count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break;
        }
        pollfd request{out_, POLLIN, 0};
        if (poll(&request, 1, static_cast<int>(left.count())) <= 0) {
            break;
        }
        char buffer[65536];
        const ssize_t n = read(out_, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        collected_.append(buffer, static_cast<std::size_t>(n));
    }
    return collected_;
}

Result LiveTool::Finish() {
    close(in_);
    in_ = -1;
    char buffer[65536];
    for (ssize_t n; (n = read(out_, buffer, sizeof buffer)) > 0;) {
        collected_.append(buffer, static_cast<std::size_t>(n));
    }
    Result result;
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = collected_;
    const Bytes err = ReadFile(errPath_);
    result.err.assign(err.begin(), err.end());
    return result;
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
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

int Shell(const std::string& command) {
    // text2pcap reports on standard error even when asked to be quiet.
    return std::system(("TZ=UTC " + command + " 2>/dev/null").c_str());
}

bool Installed(const std::string& program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

std::string Text2pcapDump(const std::string& time, const Bytes& bytes) {
    std::string text = time + "\n000000";
    for (const unsigned char byte : bytes) {
        static const char* const kDigits = "0123456789abcdef";
        text += ' ';
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    return text + "\n";
}

std::string ToHex(const Bytes& bytes) {
    static const char* const kDigits = "0123456789abcdef";
    std::string text;
    for (const unsigned char byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    return text;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

}  // namespace lmwire_test
