// Byte buffers that start on a page boundary.
//
// The kernel copies file data into a read buffer with `rep movsb`; on some
// processors (AMD Zen among them) that copy runs about five times slower when
// the buffer starts a few bytes after a page boundary, which is where a plain
// heap allocation of this size starts (the heap's header lies before it).
// Buffers that receive whole reads of a medium are therefore page-aligned.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

namespace salvora {

template <typename T>
struct PageAlignedAllocator {
    using value_type = T;
    static constexpr std::align_val_t kAlignment{4096};

    PageAlignedAllocator() = default;
    template <typename U>
    PageAlignedAllocator(const PageAlignedAllocator<U>&) noexcept {}

    T* allocate(std::size_t count) { return static_cast<T*>(::operator new(count * sizeof(T), kAlignment)); }
    void deallocate(T* pointer, std::size_t) noexcept { ::operator delete(pointer, kAlignment); }

    template <typename U>
    bool operator==(const PageAlignedAllocator<U>&) const noexcept {
        return true;
    }
};

using PageAlignedBytes = std::vector<uint8_t, PageAlignedAllocator<uint8_t>>;

}  // namespace salvora
