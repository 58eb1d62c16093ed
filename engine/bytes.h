#pragma once

#include <cstddef>
#include <string_view>

namespace korvane {

// A file's bytes in memory, in one of two ways:
//  - read into one block that is never filled before, and that grows with
//    realloc: for large blocks the system moves the pages instead of copying
//    them, so a stream of unknown length is never held twice;
//  - or mapped read-only from a regular file by the file layer
//    (settings_file.h): no copy at all. Should the file shrink or fail while
//    it is mapped, what is lost reads as NUL bytes and damaged() says so.
class Bytes {
public:
    Bytes() = default;
    explicit Bytes(std::string_view text);

    Bytes(Bytes&& other) noexcept;
    Bytes& operator=(Bytes&& other) noexcept;
    ~Bytes();

    bool mapped() const { return mapping_ >= 0; }
    // Whether a page of the mapping was lost (the file shrank, or a read of
    // it failed) since it was mapped; never for a block read.
    bool damaged() const;
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
    // The platform's file layer makes mappings and ends them.
    friend struct MappedFile;
    Bytes(char* mapping, std::size_t size, int slot)
        : data_(mapping), size_(size), capacity_(size), mapping_(slot) {}
    void release();
    void unmap(); // the platform's part of release()

    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0; // of the block, or the mapping's length
    int mapping_ = -1;         // the mapping's slot, or -1 for a block
};

} // namespace korvane
