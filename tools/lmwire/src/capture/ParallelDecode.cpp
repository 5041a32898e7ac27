#include "capture/ParallelDecode.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace lmwire {
namespace {

// A piece is a few hundred microseconds of work: small enough that the threads share the end of
// the file evenly and that the pieces in flight (two per thread) hold a few MB of lines at most,
// large enough that handing one over costs nothing in comparison.
constexpr std::size_t kPieceRecords = 1024;

// Cache lines are not shared between pieces, nor between the state that the reading thread
// looks at and the lines that a formatting thread extends record by record: a shared line
// bounced between the cores on every record and cost a third of the second core.
constexpr std::size_t kCacheLine = 64;

struct alignas(kCacheLine) Piece {
    enum class State { Free, Read, Formatting, Formatted };
    State state = State::Free;
    Bytes records;
    std::size_t count = 0;
    alignas(kCacheLine) TextBlock lines;
};

class Pipeline {
  public:
    Pipeline(unsigned jobs, LineFormat format, TimeUnit timeUnit)
        : pieces_(2 * std::size_t{jobs} + 1) {
        for (Piece& piece : pieces_) {
            piece.records.resize(kPieceRecords * kPriceRecordSize);
        }
        threads_.reserve(jobs);
        try {
            for (unsigned i = 0; i < jobs; ++i) {
                threads_.emplace_back([this, format, timeUnit] { Format(format, timeUnit); });
            }
        } catch (...) {
            Stop();  // a thread that cannot start must not leave the started ones running
            throw;
        }
    }

    // Stops the threads whatever happened: on the way out of an error too.
    ~Pipeline() { Stop(); }
    Pipeline(const Pipeline&) = delete;
    Pipeline& operator=(const Pipeline&) = delete;

    std::uint64_t Run(Input& input, std::uint64_t records, Output& out, Progress& progress) {
        std::uint64_t read = 0;  // records
        bool ended = records == 0;
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            if (error_) {
                std::rethrow_exception(error_);
            }
            Piece& oldest = pieces_[written_ % pieces_.size()];
            if (written_ < queued_ && oldest.state == Piece::State::Formatted) {
                lock.unlock();
                out.Write(oldest.lines.View());
                progress.Update((written_ + 1) * kPieceRecords * kPriceRecordSize);
                lock.lock();
                oldest.state = Piece::State::Free;
                ++written_;
                continue;
            }
            if (ended && written_ == queued_) {
                return read * kPriceRecordSize;
            }
            Piece& next = pieces_[queued_ % pieces_.size()];
            if (!ended && next.state == Piece::State::Free) {
                lock.unlock();
                const auto want = static_cast<std::size_t>(
                    std::min<std::uint64_t>(kPieceRecords, records - read));
                const std::size_t got = input.Read(next.records.data(), want * kPriceRecordSize);
                next.count = got / kPriceRecordSize;
                read += next.count;
                ended = read == records || got < want * kPriceRecordSize;
                lock.lock();
                next.state = Piece::State::Read;
                ++queued_;
                work_.notify_one();
                continue;
            }
            formatted_.wait(lock);
        }
    }

  private:
    void Stop() noexcept {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        work_.notify_all();
        for (std::thread& thread : threads_) {
            thread.join();
        }
    }

    void Format(LineFormat format, TimeUnit timeUnit) {
        PriceRecordLines lines(format, timeUnit);
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            work_.wait(lock, [this] { return stopping_ || formatting_ < queued_; });
            if (stopping_) {
                return;
            }
            Piece& piece = pieces_[formatting_ % pieces_.size()];
            ++formatting_;
            piece.state = Piece::State::Formatting;
            lock.unlock();
            try {
                piece.lines.Clear();
                for (std::size_t i = 0; i < piece.count; ++i) {
                    char* at = piece.lines.Room(PriceRecordLines::kMaxLine);
                    piece.lines.Commit(lines.Write(
                        at, Lumera::PriceRecordView(piece.records.data() + i * kPriceRecordSize)));
                }
            } catch (...) {
                const std::lock_guard<std::mutex> guard(mutex_);
                error_ = std::current_exception();
            }
            lock.lock();
            piece.state = Piece::State::Formatted;
            formatted_.notify_one();
        }
    }

    std::vector<Piece> pieces_;  // a ring: piece n is pieces_[n % size]
    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable work_;       // a piece was read, or the threads are to stop
    std::condition_variable formatted_;  // a piece was formatted; only the reading thread waits
    std::uint64_t queued_ = 0;           // pieces read
    std::uint64_t formatting_ = 0;       // pieces taken by a thread
    std::uint64_t written_ = 0;          // pieces written
    bool stopping_ = false;
    std::exception_ptr error_;
};

}  // namespace

std::uint64_t DecodeInParallel(Input& input, std::uint64_t records, unsigned jobs,
                               LineFormat format, TimeUnit timeUnit, Output& out,
                               Progress& progress) {
    Pipeline pipeline(jobs, format, timeUnit);
    return pipeline.Run(input, records, out, progress);
}

}  // namespace lmwire
