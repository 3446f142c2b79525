#include "pdf/PaginorBuffer.h"

#include <cstdlib>
#include <cstring>
#include <utility>

namespace tak {

ByteBuffer::~ByteBuffer() { std::free(data_); }

ByteBuffer::ByteBuffer(ByteBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      length_(std::exchange(other.length_, 0)),
      capacity_(std::exchange(other.capacity_, 0)),
      capacityLimit_(other.capacityLimit_) {}

ByteBuffer& ByteBuffer::operator=(ByteBuffer&& other) noexcept {
    if (this != &other) {
        std::free(data_);
        data_ = std::exchange(other.data_, nullptr);
        length_ = std::exchange(other.length_, 0);
        capacity_ = std::exchange(other.capacity_, 0);
        capacityLimit_ = other.capacityLimit_;
    }
    return *this;
}

bool ByteBuffer::Reserve(std::size_t room) {
    if (room <= capacity_) return true;
    if (room > std::numeric_limits<std::size_t>::max() - kGrowthStep) return false;
    std::size_t grown = room / kGrowthStep * kGrowthStep + kGrowthStep;
    if (grown > capacityLimit_) return false;
    void* moved = std::realloc(data_, grown);
    if (!moved) return false;
    data_ = static_cast<char*>(moved);
    capacity_ = grown;
    return true;
}

bool ByteBuffer::Append(std::string_view bytes) {
    if (bytes.size() > std::numeric_limits<std::size_t>::max() - length_) return false;
    if (!Reserve(length_ + bytes.size())) return false;
    if (!bytes.empty()) std::memcpy(data_ + length_, bytes.data(), bytes.size());
    length_ += bytes.size();
    return true;
}

bool ByteBuffer::AppendLine(std::string_view bytes) {
    if (bytes.size() >= std::numeric_limits<std::size_t>::max() - length_) return false;
    if (!Reserve(length_ + bytes.size() + 1)) return false;
    if (!bytes.empty()) std::memcpy(data_ + length_, bytes.data(), bytes.size());
    length_ += bytes.size();
    data_[length_++] = '\n';
    return true;
}

void ByteBuffer::Release() {
    std::free(data_);
    data_ = nullptr;
    length_ = 0;
    capacity_ = 0;
}

}  // namespace tak
