// Aligned allocation for chunk data; large buffers ask Linux for huge pages, which the sample
// pass, a linear sweep over the whole chunk, profits from.
#include "core/ByteBuffer.h"

#include <new>
#include <utility>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace {

// Whole cache lines, so the vectorised sample pass starts on an aligned boundary.
constexpr std::size_t kSmallAlignment = 64;
#ifdef __linux__
constexpr std::size_t kHugePage = std::size_t{2} << 20;
#endif
// No address space holds a block this close to its end, and aligned allocators that add their
// alignment to such a size wrap around and hand back a tiny block. A 32-bit process meets these
// sizes in the chunk sizes of a file, so they are refused here.
constexpr std::size_t kLargestCapacity = SIZE_MAX - (std::size_t{2} << 20);

}  // namespace

ByteBuffer::~ByteBuffer() { Release(); }

ByteBuffer::ByteBuffer(ByteBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      capacity_(std::exchange(other.capacity_, 0)),
      alignment_(std::exchange(other.alignment_, 0)) {}

ByteBuffer& ByteBuffer::operator=(ByteBuffer&& other) noexcept {
    if (this != &other) {
        Release();
        data_ = std::exchange(other.data_, nullptr);
        capacity_ = std::exchange(other.capacity_, 0);
        alignment_ = std::exchange(other.alignment_, 0);
    }
    return *this;
}

bool ByteBuffer::Allocate(std::size_t capacity) {
    Release();
    if (capacity == 0) {
        return true;
    }
    if (capacity > kLargestCapacity) {
        return false;
    }
    std::size_t alignment = kSmallAlignment;
    std::size_t rounded = capacity;
#ifdef __linux__
    if (capacity >= kHugePage) {
        alignment = kHugePage;
        rounded = (capacity + kHugePage - 1) / kHugePage * kHugePage;
    }
#endif
    void* memory = ::operator new[](rounded, std::align_val_t{alignment}, std::nothrow);
    if (memory == nullptr) {
        return false;
    }
#ifdef __linux__
    if (alignment == kHugePage) {
        // Advice only: without transparent huge pages the buffer works the same.
        madvise(memory, rounded, MADV_HUGEPAGE);
    }
#endif
    data_ = static_cast<std::uint8_t*>(memory);
    capacity_ = rounded;
    alignment_ = alignment;
    return true;
}

void ByteBuffer::Release() {
    if (data_ != nullptr) {
        ::operator delete[](data_, std::align_val_t{alignment_});
    }
    data_ = nullptr;
    capacity_ = 0;
    alignment_ = 0;
}
