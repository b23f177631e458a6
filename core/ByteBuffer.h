// An owned byte array for chunk data: move-only, freed with its owner, and reporting an
// allocation failure as a result instead of an exception. A few bytes live in the object itself,
// so that a file of many tiny chunks costs no allocation per chunk for their data.
#pragma once

#include <cstddef>
#include <cstdint>

class ByteBuffer {
public:
    // Contents of up to this many bytes are held without an allocation.
    static constexpr std::size_t kInlineBytes = sizeof(std::uint8_t*);

    ByteBuffer() = default;
    ~ByteBuffer();
    ByteBuffer(ByteBuffer&& other) noexcept;
    ByteBuffer& operator=(ByteBuffer&& other) noexcept;
    ByteBuffer(const ByteBuffer&) = delete;
    ByteBuffer& operator=(const ByteBuffer&) = delete;

    // Replaces the contents with at least `capacity` uninitialised bytes, which Capacity() then
    // tells. When memory is short the result is false and the buffer is left empty.
    bool Allocate(std::size_t capacity);

    std::uint8_t* Data();
    const std::uint8_t* Data() const;
    std::size_t Capacity() const { return capacity_; }

private:
    bool IsInline() const { return capacity_ <= kInlineBytes; }
    void Release();
    void TakeFrom(ByteBuffer& other);

    union {
        std::uint8_t* heap_ = nullptr;
        std::uint8_t inline_[kInlineBytes];
    };
    std::size_t capacity_ = 0;
};
