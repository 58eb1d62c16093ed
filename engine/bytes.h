#pragma once

#include <cstddef>
#include <string_view>

namespace korvane {

// A file's bytes in memory, in one of two ways:
//  - read into one block that is never filled before, and that grows with
//    realloc: for large blocks the system moves the pages instead of copying
//    them, so a stream of unknown length is never held twice;
//  - or mapped read-only from a regular file: no copy at all. Should the
//    file be truncated while it is mapped, what is gone reads as NUL bytes,
//    where touching it would otherwise end the program (SIGBUS).
class Bytes {
public:
    Bytes() = default;
    explicit Bytes(std::string_view text);
    // The first `size` bytes of the open file `fd` (size > 0), or nothing
    // (an empty Bytes) where it cannot be mapped. Windows never maps: its
    // files are read (a mapping there brings no clear gain, and a file cut
    // short while mapped would end the program).
    static Bytes map(int fd, std::size_t size);

    Bytes(Bytes&& other) noexcept;
    Bytes& operator=(Bytes&& other) noexcept;
    ~Bytes();

    bool mapped() const { return mapped_; }
    std::size_t size() const { return size_; }
    std::size_t capacity() const { return capacity_; }
    std::string_view view() const { return {data_, size_}; }
    // The block read into; never of a mapping.
    char* data() { return data_; }

    // Room for `capacity` bytes in all; throws std::bad_alloc.
    void reserve(std::size_t capacity);
    // At most capacity(): bytes past the old size are as read into them.
    void resize(std::size_t size) { size_ = size; }

private:
    void release();
    // Undoes map() (the platform's file layer has both).
    static void unmap(char* data, std::size_t length);

    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0; // of the block, or the mapping's length
    bool mapped_ = false;
};

} // namespace korvane
