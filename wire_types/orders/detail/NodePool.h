#pragma once

// Fixed-size blocks for the entries of one map, carved from chunks that the pool owns. A map that
// takes its entries from a pool of its own keeps them packed together in memory, so that a look-up
// among thousands of orders does not wander the whole heap.
//
// The pool is written for the order book's promise under memory pressure: a failed allocation
// throws std::bad_alloc and changes nothing. Its chunks come from the plain operator new, one at a
// time, so that a refill either succeeds whole or leaves the pool as it was.

#include <cstddef>
#include <new>

namespace Lumera::detail {

class NodePool {
  public:
    NodePool() noexcept = default;
    NodePool(const NodePool&) = delete;
    NodePool& operator=(const NodePool&) = delete;
    ~NodePool() { ReleaseChunks(); }

    // Whether blocks of this size and alignment come from the pool. The first request fixes the
    // pool's block size; a pool serves one map, whose entries all have one size.
    bool Serves(std::size_t bytes, std::size_t alignment) noexcept {
        if (blockSize_ == 0) {
            blockSize_ = RoundUp(bytes < sizeof(FreeBlock) ? sizeof(FreeBlock) : bytes);
        }
        return bytes <= blockSize_ && alignment <= kAlignment;
    }

    // Throws std::bad_alloc, changing nothing, when a new chunk is needed and cannot be had.
    void* Allocate() {
        if (free_ == nullptr && cursor_ == end_) {
            AddChunk();
        }
        ++inUse_;
        if (free_ != nullptr) {
            FreeBlock* block = free_;
            free_ = block->next;
            return block;
        }
        void* block = cursor_;
        cursor_ += blockSize_;
        return block;
    }

    // When the last block comes back the chunks go back to the heap: a book whose orders have
    // all been retired keeps no memory for them.
    void Deallocate(void* pointer) noexcept {
        auto* block = static_cast<FreeBlock*>(pointer);
        block->next = free_;
        free_ = block;
        if (--inUse_ == 0) {
            ReleaseChunks();
        }
    }

    // Bytes the pool holds from the heap (blocks in use and free alike).
    std::size_t CapacityBytes() const noexcept { return capacityBytes_; }

  private:
    struct FreeBlock {
        FreeBlock* next;
    };
    struct Chunk {
        Chunk* next;
    };
    static constexpr std::size_t kAlignment = __STDCPP_DEFAULT_NEW_ALIGNMENT__;
    static constexpr std::size_t kFirstChunkBlocks = 32;
    static constexpr std::size_t kLargestChunkBlocks = 4096;
    static_assert(sizeof(Chunk) <= kAlignment);

    static constexpr std::size_t RoundUp(std::size_t bytes) noexcept {
        return (bytes + kAlignment - 1) / kAlignment * kAlignment;
    }

    // Chunks come from the plain operator new, with the header in the first aligned slot.
    void AddChunk() {
        const std::size_t bytes = kAlignment + nextBlocks_ * blockSize_;
        auto* chunk = static_cast<Chunk*>(::operator new(bytes));
        chunk->next = chunks_;
        chunks_ = chunk;
        cursor_ = reinterpret_cast<char*>(chunk) + kAlignment;
        end_ = cursor_ + nextBlocks_ * blockSize_;
        capacityBytes_ += bytes;
        if (nextBlocks_ < kLargestChunkBlocks) {
            nextBlocks_ *= 2;
        }
    }

    void ReleaseChunks() noexcept {
        while (chunks_ != nullptr) {
            Chunk* next = chunks_->next;
            ::operator delete(chunks_);
            chunks_ = next;
        }
        free_ = nullptr;
        cursor_ = end_ = nullptr;
        nextBlocks_ = kFirstChunkBlocks;
        capacityBytes_ = 0;
    }

    std::size_t blockSize_ = 0;
    FreeBlock* free_ = nullptr;
    Chunk* chunks_ = nullptr;
    char* cursor_ = nullptr;  // the unused tail of the newest chunk
    char* end_ = nullptr;
    std::size_t nextBlocks_ = kFirstChunkBlocks;
    std::size_t inUse_ = 0;
    std::size_t capacityBytes_ = 0;
};

// The allocator through which a map reaches its pool. Single entries come from the pool; anything
// else (no map of ours asks for it) from the heap.
template <class T>
class PoolAllocator {
  public:
    using value_type = T;

    explicit PoolAllocator(NodePool& pool) noexcept : pool_(&pool) {}
    template <class U>
    PoolAllocator(const PoolAllocator<U>& other) noexcept : pool_(other.pool_) {}

    T* allocate(std::size_t n) {
        if (n == 1 && pool_->Serves(sizeof(T), alignof(T))) {
            return static_cast<T*>(pool_->Allocate());
        }
        return static_cast<T*>(::operator new (n * sizeof(T), std::align_val_t{alignof(T)}));
    }

    void deallocate(T* pointer, std::size_t n) noexcept {
        if (n == 1 && pool_->Serves(sizeof(T), alignof(T))) {
            pool_->Deallocate(pointer);
            return;
        }
        ::operator delete (pointer, std::align_val_t{alignof(T)});
    }

    template <class U>
    bool operator==(const PoolAllocator<U>& other) const noexcept {
        return pool_ == other.pool_;
    }
    template <class U>
    bool operator!=(const PoolAllocator<U>& other) const noexcept {
        return pool_ != other.pool_;
    }

  private:
    template <class U>
    friend class PoolAllocator;
    NodePool* pool_;
};

}  // namespace Lumera::detail
