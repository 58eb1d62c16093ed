#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>

namespace korvane {

// A file's bytes in one block of memory that is never filled before it is
// read into, and that grows with realloc: for large blocks the system moves
// the pages instead of copying them, so reading a stream of unknown length
// never holds two copies of it.
class Bytes {
public:
    Bytes() = default;
    explicit Bytes(std::string_view text) {
        reserve(text.size());
        if (!text.empty())
            std::memcpy(data(), text.data(), text.size());
        size_ = text.size();
    }

    char* data() { return block_.get(); }
    const char* data() const { return block_.get(); }
    std::size_t size() const { return size_; }
    std::size_t capacity() const { return capacity_; }
    std::string_view view() const { return {data(), size_}; }

    // Room for `capacity` bytes in all; throws std::bad_alloc.
    void reserve(std::size_t capacity) {
        if (capacity <= capacity_)
            return;
        void* grown = std::realloc(block_.get(), capacity);
        if (!grown)
            throw std::bad_alloc();
        block_.release();
        block_.reset(static_cast<char*>(grown));
        capacity_ = capacity;
    }
    // At most capacity(): bytes past the old size are as read into them.
    void resize(std::size_t size) { size_ = size; }

private:
    struct Free {
        void operator()(char* p) const { std::free(p); }
    };
    std::unique_ptr<char, Free> block_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

} // namespace korvane
