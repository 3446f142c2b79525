// The growable byte array that holds a PDF file and each page's content while
// a document is built.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>

namespace tak {

class ByteBuffer {
public:
    // Capacity always grows to a multiple of this step, larger than needed.
    static constexpr std::size_t kGrowthStep = 64000;

    ByteBuffer() = default;
    ~ByteBuffer();
    ByteBuffer(ByteBuffer&& other) noexcept;
    ByteBuffer& operator=(ByteBuffer&& other) noexcept;
    ByteBuffer(const ByteBuffer&) = delete;
    ByteBuffer& operator=(const ByteBuffer&) = delete;

    // Makes sure `room` bytes fit without another allocation. False when the
    // memory cannot be had (or would pass the capacity limit); the buffer is
    // then unchanged.
    bool Reserve(std::size_t room);

    // Appends all of `bytes` or, when the buffer cannot grow, nothing.
    bool Append(std::string_view bytes);
    // Appends `bytes` and one line feed as one append: both or nothing.
    bool AppendLine(std::string_view bytes);

    // Frees the memory; the buffer is empty afterwards.
    void Release();

    // No allocation may make the capacity larger than this. Lets tests prove
    // that an out-of-memory is reported without exhausting the machine.
    void SetCapacityLimit(std::size_t limit) { capacityLimit_ = limit; }

    std::string_view View() const { return {data_, length_}; }
    std::size_t Size() const { return length_; }
    std::size_t Capacity() const { return capacity_; }

private:
    char* data_ = nullptr;
    std::size_t length_ = 0;
    std::size_t capacity_ = 0;
    std::size_t capacityLimit_ = std::numeric_limits<std::size_t>::max();
};

}  // namespace tak
