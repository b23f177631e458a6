// Allocation for chunk data. Buffers large enough for the vectorised sample pass start on a cache
// line; very large ones ask Linux for huge pages, which that pass, a linear sweep over the whole
// chunk, profits from. Small ones take the allocator's default alignment and its least overhead.
#include "core/ByteBuffer.h"

#include <cstring>
#include <new>
#include <utility>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace {

constexpr std::size_t kCacheLine = 64;
constexpr std::size_t kCacheLineFrom = 4096;
#ifdef __linux__
constexpr std::size_t kHugePage = std::size_t{2} << 20;
#endif
// No address space holds a block this close to its end, and aligned allocators that add their
// alignment to such a size wrap around and hand back a tiny block. A 32-bit process meets these
// sizes in the chunk sizes of a file, so they are refused here.
constexpr std::size_t kLargestCapacity = SIZE_MAX - (std::size_t{2} << 20);

// The alignment of a heap buffer of `capacity` bytes as Allocate rounded it; the same answer at
// allocation and at release.
std::size_t AlignmentFor(std::size_t capacity) {
#ifdef __linux__
    if (capacity >= kHugePage) {
        return kHugePage;
    }
#endif
    return capacity >= kCacheLineFrom ? kCacheLine : 0;
}

// Huge-page buffers take whole pages; `capacity` is at most kLargestCapacity, so this cannot wrap.
std::size_t Rounded(std::size_t capacity) {
#ifdef __linux__
    if (capacity >= kHugePage) {
        return (capacity + kHugePage - 1) / kHugePage * kHugePage;
    }
#endif
    return capacity;
}

}  // namespace

ByteBuffer::~ByteBuffer() {
    Release();
}

ByteBuffer::ByteBuffer(ByteBuffer&& other) noexcept {
    TakeFrom(other);
}

ByteBuffer& ByteBuffer::operator=(ByteBuffer&& other) noexcept {
    if (this != &other) {
        Release();
        TakeFrom(other);
    }
    return *this;
}

std::uint8_t* ByteBuffer::Data() {
    if (capacity_ == 0) {
        return nullptr;
    }
    return IsInline() ? inline_ : heap_;
}

const std::uint8_t* ByteBuffer::Data() const {
    if (capacity_ == 0) {
        return nullptr;
    }
    return IsInline() ? inline_ : heap_;
}

bool ByteBuffer::Allocate(std::size_t capacity) {
    Release();
    if (capacity <= kInlineBytes) {
        capacity_ = capacity;
        return true;
    }
    if (capacity > kLargestCapacity) {
        return false;
    }
    const std::size_t rounded = Rounded(capacity);
    const std::size_t alignment = AlignmentFor(rounded);
    void* memory = alignment == 0 ? ::operator new[](rounded, std::nothrow)
                                  : ::operator new[](rounded, std::align_val_t{alignment}, std::nothrow);
    if (memory == nullptr) {
        return false;
    }
#ifdef __linux__
    if (alignment == kHugePage) {
        // Advice only: without transparent huge pages the buffer works the same.
        madvise(memory, rounded, MADV_HUGEPAGE);
    }
#endif
    heap_ = static_cast<std::uint8_t*>(memory);
    capacity_ = rounded;
    return true;
}

void ByteBuffer::TakeFrom(ByteBuffer& other) {
    capacity_ = std::exchange(other.capacity_, 0);
    if (IsInline()) {
        std::memcpy(inline_, other.inline_, kInlineBytes);
    } else {
        heap_ = std::exchange(other.heap_, nullptr);
    }
}

void ByteBuffer::Release() {
    if (!IsInline()) {
        const std::size_t alignment = AlignmentFor(capacity_);
        if (alignment == 0) {
            ::operator delete[](heap_);
        } else {
            ::operator delete[](heap_, std::align_val_t{alignment});
        }
    }
    heap_ = nullptr;
    capacity_ = 0;
}
