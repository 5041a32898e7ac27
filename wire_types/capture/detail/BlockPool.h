#pragma once

// Files written as a series of blocks, each compressed on a small pool of threads as an
// independent zstd frame (its content size in its header) and appended in the order the blocks
// were given. Frames one after another are one zstd file to every reader, and the pool keeps all
// cores busy whatever the number of files open at once. A file is written under a temporary
// name and renamed once its last block is written; the disk is asked to write each block as it
// comes, so that syncing them all at the end finds little left to do. Memory: the blocks in flight,
// a fixed number, and the buffers that the caller holds.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace Lumera::capture::detail {

struct Block {
    std::unique_ptr<unsigned char[]> data;
    std::size_t size = 0;
};

class BlockPool {
  public:
    class File;

    // `level` 0 stores blocks as they are; `blockBytes` is the largest block.
    BlockPool(unsigned threads, int level, std::size_t blockBytes);
    // Stops the threads; what is not written is dropped (Discard() removes what was).
    ~BlockPool();
    BlockPool(const BlockPool&) = delete;
    BlockPool& operator=(const BlockPool&) = delete;

    // A file created (replaced) at `temporary`, renamed to `path` once closed and written.
    File* Create(const std::string& temporary, const std::string& path);
    // An empty block of `blockBytes` bytes' room, reused where one is free.
    Block TakeBlock();
    // Hands the block to the threads; waits while too many are in flight. Empty blocks are
    // given back. CaptureError when an earlier write failed.
    void Append(File* file, Block block);
    // No more blocks for the file: it is completed in the background.
    void Close(File* file);
    // Until every file closed is completed; CaptureError for the first failure.
    void Wait();
    // After Wait: every file and the directories of their names on disk (fsync).
    void Sync();
    // The bytes written to a completed file.
    [[nodiscard]] std::uint64_t Size(const File* file) const;
    // Stops the threads and removes every file created here, renamed or not.
    void Discard() noexcept;

  private:
    struct Job {
        File* file;
        std::uint64_t sequence;
        Block block;
        bool last;  // the file's close, after its blocks
    };
    void Run();
    void Write(File& file, std::unique_lock<std::mutex>& lock);
    void Complete(File& file, std::unique_lock<std::mutex>& lock);
    void Fail(const std::string& why);
    void Recycle(Block block);
    void Stop() noexcept;

    int level_;
    std::size_t room_;  // a block's buffer: enough for its compressed form too
    std::size_t mostInFlight_;
    mutable std::mutex mutex_;
    std::condition_variable work_;     // a job to do, or stop
    std::condition_variable settled_;  // room for a job, or a file completed
    std::deque<Job> jobs_;
    std::size_t inFlight_ = 0;
    std::size_t open_ = 0;  // files closed but not completed, or not closed
    std::vector<Block> free_;
    std::vector<std::unique_ptr<File>> files_;
    std::string failure_;
    bool stop_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace Lumera::capture::detail
