// An owned, aligned byte array for chunk data: move-only, freed with its owner, and reporting an
// allocation failure as a result instead of an exception.
#pragma once

#include <cstddef>
#include <cstdint>

class ByteBuffer {
public:
    ByteBuffer() = default;
    ~ByteBuffer();
    ByteBuffer(ByteBuffer&& other) noexcept;
    ByteBuffer& operator=(ByteBuffer&& other) noexcept;
    ByteBuffer(const ByteBuffer&) = delete;
    ByteBuffer& operator=(const ByteBuffer&) = delete;

    // Replaces the contents with at least `capacity` uninitialised bytes. When memory is short
    // the result is false and the buffer is left empty.
    bool Allocate(std::size_t capacity);

    std::uint8_t* Data() { return data_; }
    const std::uint8_t* Data() const { return data_; }
    std::size_t Capacity() const { return capacity_; }

private:
    void Release();

    std::uint8_t* data_ = nullptr;
    std::size_t capacity_ = 0;
    std::size_t alignment_ = 0;
};
