#pragma once

// The rows of a whole capture whose length is not known in advance (a compressed or piped one):
// an anonymous mapping of its own, grown by the kernel moving its pages rather than by a copy,
// and handed to numpy without one. realloc would do the same only for a block it mapped itself
// and whose mapping is one piece: a hint for huge pages on part of it splits the mapping, and
// then every growth copies everything read so far into fresh pages.

#include <sys/mman.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include <pybind11/pybind11.h>

namespace lmwire::binding {

class RowBlock {
  public:
    // bad_alloc when the system refuses.
    explicit RowBlock(std::size_t bytes) : size_(Pages(bytes)) {
        void* data =
            mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (data == MAP_FAILED) {
            throw std::bad_alloc();
        }
        data_ = static_cast<unsigned char*>(data);
        HugePages();
    }
    ~RowBlock() {
        if (data_ != nullptr) {
            munmap(data_, size_);
        }
    }
    RowBlock(const RowBlock&) = delete;
    RowBlock& operator=(const RowBlock&) = delete;

    [[nodiscard]] unsigned char* Data() const noexcept { return data_; }
    [[nodiscard]] std::size_t Size() const noexcept { return size_; }

    // To at least `bytes`, larger or smaller; the rows kept, maybe at another address. bad_alloc
    // (and the block as it was) when the system refuses.
    void Resize(std::size_t bytes) {
        const std::size_t size = Pages(bytes);
        if (size == size_) {
            return;
        }
#ifdef MREMAP_MAYMOVE
        void* moved = mremap(data_, size_, size, MREMAP_MAYMOVE);
        if (moved == MAP_FAILED) {
            throw std::bad_alloc();
        }
        data_ = static_cast<unsigned char*>(moved);
        size_ = size;
#else
        RowBlock other(size);
        std::memcpy(other.data_, data_, std::min(size, size_));
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
#endif
        HugePages();
    }

    // The block as the owner of a numpy array's data; this one is empty afterwards.
    [[nodiscard]] pybind11::capsule Release() {
        using Mapping = std::pair<void*, std::size_t>;
        auto owned = std::make_unique<Mapping>(data_, size_);
        pybind11::capsule owner(owned.get(), [](void* pointer) {
            const std::unique_ptr<Mapping> mapping(static_cast<Mapping*>(pointer));
            munmap(mapping->first, mapping->second);
        });
        static_cast<void>(owned.release());  // the capsule's now
        data_ = nullptr;
        return owner;
    }

  private:
    static constexpr std::size_t kPage = 4096;

    static std::size_t Pages(std::size_t bytes) noexcept {
        return (std::max<std::size_t>(bytes, 1) + kPage - 1) & ~(kPage - 1);
    }

    // As numpy asks for its own large arrays: a fault for every 4 KiB of fresh rows would cost as
    // much as decoding them. The whole mapping, so that it stays one piece for mremap.
    void HugePages() noexcept {
#ifdef MADV_HUGEPAGE
        if (size_ >= (std::size_t{4} << 20)) {
            madvise(data_, size_, MADV_HUGEPAGE);
        }
#endif
    }

    unsigned char* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace lmwire::binding
