#include "bytes.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace korvane {

Bytes::Bytes(std::string_view text) {
    reserve(text.size());
    if (!text.empty())
        std::memcpy(data_, text.data(), text.size());
    size_ = text.size();
}

Bytes::Bytes(Bytes&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)), mapping_(std::exchange(other.mapping_, -1)) {}

Bytes& Bytes::operator=(Bytes&& other) noexcept {
    if (this != &other) {
        release();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        capacity_ = std::exchange(other.capacity_, 0);
        mapping_ = std::exchange(other.mapping_, -1);
    }
    return *this;
}

Bytes::~Bytes() {
    release();
}

void Bytes::release() {
    if (mapped())
        unmap();
    else
        std::free(data_);
    data_ = nullptr;
    size_ = capacity_ = 0;
    mapping_ = -1;
}

void Bytes::reserve(std::size_t capacity) {
    if (capacity <= capacity_)
        return;
    void* grown = std::realloc(data_, capacity);
    if (!grown)
        throw std::bad_alloc();
    data_ = static_cast<char*>(grown);
    capacity_ = capacity;
}

} // namespace korvane
