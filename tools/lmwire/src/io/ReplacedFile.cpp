#include "io/ReplacedFile.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "common/Errors.h"
#include "common/Text.h"

namespace lmwire {
namespace {

// Temporary files in the making, removed by a signal that ends the program. Written only by the
// thread that runs the command; a path is complete before its slot is marked in use.
constexpr int kSlots = 4;
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr std::size_t kMaxPath = 4096;
char gTemporaries[kSlots][kMaxPath];
volatile std::sig_atomic_t gInUse[kSlots];

extern "C" void RemoveTemporaries(int signal) {
    for (int i = 0; i < kSlots; ++i) {
        if (gInUse[i] != 0) {
            unlink(gTemporaries[i]);
        }
    }
    // The signal now ends the program as it would have. It is held until the handler returns,
    // as are the others (a shell's timeout sends its signal twice).
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    raise(signal);
}

void InstallHandlers() {
    static bool installed = false;
    if (installed) {
        return;
    }
    installed = true;
    for (const int signal : kEndingSignals) {
        struct sigaction old {};
        // A signal the parent told us to ignore (nohup) stays ignored.
        if (sigaction(signal, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) {
            continue;
        }
        struct sigaction action {};
        action.sa_handler = RemoveTemporaries;
        sigemptyset(&action.sa_mask);
        for (const int held : kEndingSignals) {
            sigaddset(&action.sa_mask, held);
        }
        sigaction(signal, &action, nullptr);
    }
}

// Holds back the signals that end the program while a temporary file exists but is not yet
// registered: delivered when the hold ends, they find the file registered and remove it.
class SignalsHeld {
  public:
    SignalsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (const int signal : kEndingSignals) {
            sigaddset(&held, signal);
        }
        pthread_sigmask(SIG_BLOCK, &held, &previous_);
    }
    ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

  private:
    sigset_t previous_{};
};

int Register(const std::string& path) {
    if (path.size() >= kMaxPath) {
        return -1;  // still removed on failure, only not on a signal
    }
    for (int i = 0; i < kSlots; ++i) {
        if (gInUse[i] == 0) {
            std::memcpy(gTemporaries[i], path.c_str(), path.size() + 1);
            std::atomic_signal_fence(std::memory_order_seq_cst);
            gInUse[i] = 1;
            InstallHandlers();
            return i;
        }
    }
    return -1;
}

void Unregister(int slot) {
    if (slot >= 0) {
        gInUse[slot] = 0;
    }
}

// The file a path names once its symbolic links are followed; a link to nothing names the file
// it would create.
std::string FollowLinks(std::string path) {
    std::vector<char> target(kMaxPath);
    // As many links as the system itself follows; beyond that, opening reports the loop.
    for (int hops = 0; hops < 40; ++hops) {
        struct stat status {};
        if (lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
            break;
        }
        const ssize_t length = readlink(path.c_str(), target.data(), target.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) {
            break;
        }
        std::string next(target.data(), static_cast<std::size_t>(length));
        if (next.front() != '/') {
            const std::size_t slash = path.rfind('/');
            next = (slash == std::string::npos ? "" : path.substr(0, slash + 1)) + next;
        }
        path = std::move(next);
    }
    return path;
}

mode_t NewFileMode() {
    // The process's mask can only be read by setting it; nothing else creates files meanwhile.
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

[[noreturn]] void ThrowWriteError(const std::string& what, int error) {
    throw WriteError(fmt::format("{}: {}", what, std::strerror(error)), error == EPIPE);
}

}  // namespace

ReplacedFile::ReplacedFile(const std::string& path)
    : name_(Escaped(path)), target_(FollowLinks(path)) {
    struct stat status {};
    const bool exists = stat(target_.c_str(), &status) == 0;
    const bool absent = !exists && errno == ENOENT && !target_.empty();
    if ((exists && !S_ISREG(status.st_mode)) || (!exists && !absent)) {
        // A device or a FIFO is written as it is; any other trouble (a directory, a loop of
        // links, no permission) is reported by opening it.
        stream_ = std::fopen(path.c_str(), "wb");
        if (stream_ == nullptr) {
            throw BadInput(fmt::format("cannot create {}: {}", name_, std::strerror(errno)));
        }
        return;
    }
    const std::size_t slash = target_.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : target_.substr(0, slash + 1);
    // Hidden, and short enough for the longest name a folder takes.
    const std::string base = target_.substr(slash == std::string::npos ? 0 : slash + 1, 200);
    std::string temporary = fmt::format("{}.{}.XXXXXX", folder, base);
    int descriptor = -1;
    {
        const SignalsHeld held;
        descriptor = mkstemp(temporary.data());
        if (descriptor < 0) {
            throw BadInput(fmt::format("cannot create {}{}: {}", exists ? "a file beside " : "",
                                       name_, std::strerror(errno)));
        }
        temporary_ = std::move(temporary);
        slot_ = Register(temporary_);
    }
    // The replacement takes the old file's mode, and owner where we may give it; a new file
    // gets what creating it directly would have given.
    if (exists && (status.st_uid != geteuid() || status.st_gid != getegid())) {
        (void)!fchown(descriptor, status.st_uid, status.st_gid);
    }
    if (fchmod(descriptor, exists ? status.st_mode & 07777 : NewFileMode()) != 0 ||
        (stream_ = fdopen(descriptor, "wb")) == nullptr) {
        const int error = errno;
        close(descriptor);
        Discard();
        throw BadInput(fmt::format("cannot create {}: {}", name_, std::strerror(error)));
    }
}

ReplacedFile::~ReplacedFile() {
    Discard();
}

void ReplacedFile::Discard() noexcept {
    if (stream_ != nullptr) {
        std::fclose(std::exchange(stream_, nullptr));
    }
    if (!temporary_.empty()) {
        unlink(temporary_.c_str());
        temporary_.clear();
    }
    Unregister(std::exchange(slot_, -1));
}

void ReplacedFile::Commit() {
    std::FILE* stream = std::exchange(stream_, nullptr);
    const bool failed = std::ferror(stream) != 0;
    const int flushError = std::fflush(stream) != 0 ? errno : 0;
    const int closeError = std::fclose(stream) != 0 ? errno : 0;
    if (failed || flushError != 0 || closeError != 0) {
        Discard();
        ThrowWriteError("cannot write " + name_, flushError != 0   ? flushError
                                                 : closeError != 0 ? closeError
                                                                   : EIO);
    }
    if (!temporary_.empty() && std::rename(temporary_.c_str(), target_.c_str()) != 0) {
        const int error = errno;
        Discard();
        ThrowWriteError("cannot replace " + name_, error);
    }
    temporary_.clear();
    Unregister(std::exchange(slot_, -1));
}

}  // namespace lmwire
