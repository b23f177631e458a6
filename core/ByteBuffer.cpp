// Allocation for chunk data. Buffers large enough for the vectorised sample pass start on a cache
// line; very large ones ask Linux for huge pages, which that pass, a linear sweep over the whole
// chunk, profits from. Small ones take the allocator's default alignment and its least overhead.
// On Linux a thread keeps a few of the block-sized buffers it released for its next ones.
#include "core/ByteBuffer.h"

#include <array>
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

#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__)
// Buffers of up to a block's size or so that a thread released, kept for the same thread's next
// ones. A run of small files asks for the same few buffers for every file, and glibc hands their
// memory back to the system between files; it comes back as fresh pages that the kernel clears
// first, which cost a small file's job as much as its copy. AddressSanitizer sees every release.
class RecycledBuffers {
public:
    RecycledBuffers() = default;
    RecycledBuffers(const RecycledBuffers&) = delete;
    RecycledBuffers& operator=(const RecycledBuffers&) = delete;
    ~RecycledBuffers() {
        for (std::uint8_t* memory : memory_) {
            if (memory != nullptr) {
                ::operator delete[](memory, std::align_val_t{kCacheLine});
            }
        }
    }

    // A kept buffer of `capacity` bytes up to twice that; nullptr if none. Its owner knows it by
    // the capacity asked for, never by more, as a chunk's held bytes are told by it.
    std::uint8_t* Take(std::size_t capacity) {
        for (std::size_t i = 0; i < kKept; ++i) {
            if (memory_[i] != nullptr && capacity_[i] >= capacity && capacity_[i] / 2 <= capacity) {
                return std::exchange(memory_[i], nullptr);
            }
        }
        return nullptr;
    }

    // False when as many are kept already, or the buffer is not of the kind kept.
    bool Keep(std::uint8_t* memory, std::size_t capacity) {
        if (AlignmentFor(capacity) != kCacheLine || capacity > kLargestKept) {
            return false;
        }
        for (std::size_t i = 0; i < kKept; ++i) {
            if (memory_[i] == nullptr) {
                memory_[i] = memory;
                capacity_[i] = capacity;
                return true;
            }
        }
        return false;
    }

private:
    // A file's job holds its input's and its output's buffers and a few small ones at once.
    static constexpr std::size_t kKept = 4;
    static constexpr std::size_t kLargestKept = std::size_t{2} << 20;

    std::array<std::uint8_t*, kKept> memory_{};
    std::array<std::size_t, kKept> capacity_{};
};

thread_local RecycledBuffers recycled;

std::uint8_t* TakeRecycled(std::size_t capacity) {
    return recycled.Take(capacity);
}

bool Recycled(std::uint8_t* memory, std::size_t capacity) {
    return recycled.Keep(memory, capacity);
}
#else
std::uint8_t* TakeRecycled(std::size_t) {
    return nullptr;
}

bool Recycled(std::uint8_t*, std::size_t) {
    return false;
}
#endif

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
    if (alignment == kCacheLine) {
        heap_ = TakeRecycled(rounded);
        if (heap_ != nullptr) {
            capacity_ = rounded;
            return true;
        }
    }
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
    if (!IsInline() && !Recycled(heap_, capacity_)) {
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
