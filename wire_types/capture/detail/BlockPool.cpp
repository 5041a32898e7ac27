#include "wire_types/capture/detail/BlockPool.h"

#include <fcntl.h>
#include <unistd.h>
#include <zstd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>

#include "wire_types/capture/Stream.h"
#include "wire_types/capture/detail/Escaped.h"

namespace Lumera::capture::detail {

class BlockPool::File {
  public:
    std::string temporary;
    std::string path;
    int fd = -1;
    std::uint64_t given = 0;             // blocks (and the close) handed to the threads
    std::uint64_t written = 0;           // of them, in order
    std::map<std::uint64_t, Job> ready;  // done by a thread, waiting for their turn
    bool writing = false;                // a thread is appending its ready blocks
    bool renamed = false;
    bool completed = false;
    std::uint64_t size = 0;
};

namespace {

struct Compressor {
    ZSTD_CCtx* context = nullptr;
    explicit Compressor(int level) {
        context = ZSTD_createCCtx();
        if (context == nullptr) {
            throw std::bad_alloc();
        }
        ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, level);
        ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, 1);
    }
    ~Compressor() { ZSTD_freeCCtx(context); }
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;
};

}  // namespace

BlockPool::BlockPool(unsigned threads, int level, std::size_t blockBytes)
    : level_(level),
      room_(level == 0 ? blockBytes : std::max(blockBytes, ZSTD_compressBound(blockBytes))),
      mostInFlight_(2 * std::size_t{std::max(threads, 1u)} + 2) {
    if (level != 0) {
        // A level zstd refuses is refused here, before any file exists.
        const ZSTD_bounds bounds = ZSTD_cParam_getBounds(ZSTD_c_compressionLevel);
        if (level < bounds.lowerBound || level > bounds.upperBound) {
            throw CaptureError("zstd level " + std::to_string(level) + " is outside " +
                               std::to_string(bounds.lowerBound) + " to " +
                               std::to_string(bounds.upperBound));
        }
    }
    for (unsigned i = 0; i < std::max(threads, 1u); ++i) {
        threads_.emplace_back([this] { Run(); });
    }
}

BlockPool::~BlockPool() {
    Stop();
    for (const auto& file : files_) {
        if (file->fd >= 0) {
            close(file->fd);
        }
    }
}

void BlockPool::Stop() noexcept {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    work_.notify_all();
    settled_.notify_all();
    for (std::thread& thread : threads_) {
        if (thread.joinable()) {
            thread.join();
        }
    }
}

void BlockPool::Discard() noexcept {
    Stop();
    for (const auto& file : files_) {
        if (file->fd >= 0) {
            close(file->fd);
            file->fd = -1;
        }
        unlink(file->temporary.c_str());
        if (file->renamed) {
            unlink(file->path.c_str());
        }
    }
}

BlockPool::File* BlockPool::Create(const std::string& temporary, const std::string& path) {
    auto file = std::make_unique<File>();
    file->temporary = temporary;
    file->path = path;
    file->fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (file->fd < 0) {
        throw CaptureError("cannot create " + Escaped(temporary) + ": " + std::strerror(errno));
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    files_.push_back(std::move(file));
    ++open_;
    return files_.back().get();
}

Block BlockPool::TakeBlock() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (!free_.empty()) {
            Block block = std::move(free_.back());
            free_.pop_back();
            block.size = 0;
            return block;
        }
    }
    return Block{std::make_unique<unsigned char[]>(room_), 0};
}

void BlockPool::Recycle(Block block) {
    if (block.data) {
        free_.push_back(std::move(block));
    }
}

void BlockPool::Append(File* file, Block block) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (block.size == 0) {
        Recycle(std::move(block));
        return;
    }
    settled_.wait(lock, [this] { return inFlight_ < mostInFlight_ || !failure_.empty(); });
    if (!failure_.empty()) {
        throw CaptureError(failure_);
    }
    jobs_.push_back(Job{file, file->given++, std::move(block), false});
    ++inFlight_;
    lock.unlock();
    work_.notify_one();
}

void BlockPool::Close(File* file) {
    std::unique_lock<std::mutex> lock(mutex_);
    jobs_.push_back(Job{file, file->given++, Block{}, true});
    ++inFlight_;
    lock.unlock();
    work_.notify_one();
}

void BlockPool::Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    settled_.wait(lock, [this] { return open_ == 0 || !failure_.empty(); });
    if (!failure_.empty()) {
        throw CaptureError(failure_);
    }
}

void BlockPool::Sync() {
    std::set<std::string> directories;
    const auto sync = [](const std::string& path, int flags) {
        const int fd = open(path.c_str(), flags | O_CLOEXEC);
        if (fd < 0 || fsync(fd) != 0) {
            const int error = errno;
            if (fd >= 0) {
                close(fd);
            }
            throw CaptureError("cannot sync " + Escaped(path) + ": " + std::strerror(error));
        }
        close(fd);
    };
    for (const auto& file : files_) {
        sync(file->path, O_RDONLY);
        directories.insert(file->path.substr(0, file->path.rfind('/') + 1));
    }
    for (const std::string& directory : directories) {
        sync(directory, O_RDONLY | O_DIRECTORY);
    }
}

std::uint64_t BlockPool::Size(const File* file) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return file->size;
}

void BlockPool::Fail(const std::string& why) {
    if (failure_.empty()) {
        failure_ = why;
    }
    settled_.notify_all();
}

void BlockPool::Run() {
    std::unique_ptr<Compressor> compressor;
    if (level_ != 0) {
        compressor = std::make_unique<Compressor>(level_);
    }
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        work_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
        if (stop_) {
            return;
        }
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        if (compressor && !job.last) {
            Block out = free_.empty() ? Block{} : std::move(free_.back());
            if (!free_.empty()) {
                free_.pop_back();
            }
            lock.unlock();
            if (!out.data) {
                out.data = std::make_unique<unsigned char[]>(room_);
            }
            std::size_t size = ZSTD_compress2(compressor->context, out.data.get(), room_,
                                              job.block.data.get(), job.block.size);
            lock.lock();
            if (ZSTD_isError(size) != 0) {
                Fail("cannot compress " + Escaped(job.file->path) + ": " + ZSTD_getErrorName(size));
                size = 0;
            }
            out.size = size;
            Recycle(std::move(job.block));
            job.block = std::move(out);
        }
        File& file = *job.file;
        file.ready.emplace(job.sequence, std::move(job));
        Write(file, lock);
    }
}

// Appends the file's blocks that are next in order, by one thread at a time.
void BlockPool::Write(File& file, std::unique_lock<std::mutex>& lock) {
    if (file.writing) {
        return;
    }
    file.writing = true;
    for (auto next = file.ready.find(file.written); next != file.ready.end();
         next = file.ready.find(file.written)) {
        Job job = std::move(next->second);
        file.ready.erase(next);
        if (job.last) {
            Complete(file, lock);
        } else {
            const bool failed = !failure_.empty();
            lock.unlock();
            std::string error;
            for (std::size_t done = 0; !failed && done < job.block.size;) {
                const ssize_t n =
                    write(file.fd, job.block.data.get() + done, job.block.size - done);
                if (n < 0 && errno != EINTR) {
                    error = "cannot write " + Escaped(file.temporary) + ": " + std::strerror(errno);
                    break;
                }
                done += n < 0 ? 0 : static_cast<std::size_t>(n);
            }
            // The disk starts on it now rather than all at once when Sync asks.
            if (error.empty() && !failed) {
                sync_file_range(file.fd, static_cast<off_t>(file.size),
                                static_cast<off_t>(job.block.size), SYNC_FILE_RANGE_WRITE);
            }
            lock.lock();
            if (!error.empty()) {
                Fail(error);
            }
            file.size += job.block.size;
            Recycle(std::move(job.block));
        }
        ++file.written;
        --inFlight_;
        settled_.notify_all();
    }
    file.writing = false;
}

// The file's last block is written: closed and given its name (Sync makes it durable).
void BlockPool::Complete(File& file, std::unique_lock<std::mutex>& lock) {
    const bool failed = !failure_.empty();
    lock.unlock();
    std::string error;
    if (close(file.fd) != 0 && !failed) {
        error = "cannot write " + Escaped(file.temporary) + ": " + std::strerror(errno);
    }
    file.fd = -1;
    if (!failed && error.empty() && rename(file.temporary.c_str(), file.path.c_str()) != 0) {
        error = "cannot rename " + Escaped(file.temporary) + ": " + std::strerror(errno);
    }
    lock.lock();
    if (!error.empty()) {
        Fail(error);
    }
    file.renamed = !failed && error.empty();
    file.completed = true;
    --open_;
    settled_.notify_all();
}

}  // namespace Lumera::capture::detail
