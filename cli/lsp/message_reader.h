#pragma once

// The language server's framing: "Content-Length: N\r\n\r\n" and N bytes of
// body, as the protocol's base layer sends them. Bytes in, whole bodies out;
// no I/O here, so the framing is tested (and fuzzed) on its own.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace korvane::lsp {

// The largest body the server takes whole. A longer one is never stored:
// its bytes are skipped as they come, and only its first bytes are kept to
// tell the client which request or document it was.
constexpr std::uint64_t kMaxBody = 64ull << 20;
// The largest header block; editors send one or two short lines.
constexpr std::size_t kMaxHeader = 8192;
// What is kept of a body that is too long.
constexpr std::size_t kKeptOfSkipped = 4096;

struct Framed {
    enum class Kind {
        Message,       // `bytes` is a whole body
        TooLong,       // a body over kMaxBody, skipped: `bytes` is its start, `length` its size
        BadHeader,     // a header block without a usable Content-Length: `bytes` says why
    };
    Kind kind;
    std::string bytes;
    std::uint64_t length = 0;
};

class MessageReader {
public:
    // Takes the next bytes of the stream; what they complete can be taken
    // with next(). Never holds more than one body of at most kMaxBody, the
    // start of a skipped one and a header block.
    void feed(std::string_view bytes);
    // The next message or fault, in stream order; false when none is whole.
    bool next(Framed& out);
    // Bytes held of a message not yet whole (for the fuzz target's bound).
    std::size_t held() const { return pending_.size(); }

private:
    enum class State { Header, Body, Skip };
    void takeHeader();
    void parseHeader(std::string_view block);

    State state_ = State::Header;
    std::string pending_;    // header bytes, or the body so far
    std::uint64_t left_ = 0; // body bytes still to come (Body, Skip)
    std::uint64_t length_ = 0;
    std::deque<Framed> ready_;
};

// A body framed for sending.
std::string frame(std::string_view body);

} // namespace korvane::lsp
