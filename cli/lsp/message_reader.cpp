#include "message_reader.h"

#include <algorithm>

namespace korvane::lsp {
namespace {

constexpr std::string_view kEnd = "\r\n\r\n";
constexpr std::string_view kLengthName = "content-length";

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return lower(x) == lower(y);
           });
}

// Where "content-length" starts in `text` at or after `from`, any case,
// within a line: the start of a header that followed bytes without their
// own (a field at a line's start belongs to the block that was refused).
std::size_t findLengthName(std::string_view text, std::size_t from) {
    for (std::size_t i = from; i + kLengthName.size() <= text.size(); ++i) {
        const bool lineStart = i >= 2 && text.substr(i - 2, 2) == "\r\n";
        if (!lineStart && sameIgnoringCase(text.substr(i, kLengthName.size()), kLengthName))
            return i;
    }
    return std::string_view::npos;
}

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// A decimal length; none for anything else (a sign, a blank, a letter). A
// number past 2^64 reads as the largest, which is too long all the same.
bool parseLength(std::string_view text, std::uint64_t& out) {
    if (text.empty())
        return false;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        value = value > (UINT64_MAX - digit) / 10 ? UINT64_MAX : value * 10 + digit;
    }
    out = value;
    return true;
}

// The Content-Length of a header block, or why there is none usable.
bool lengthOf(std::string_view block, std::uint64_t& length, std::string& why) {
    bool found = false;
    while (!block.empty()) {
        const std::size_t eol = block.find("\r\n");
        const std::string_view line = block.substr(0, eol);
        block = eol == std::string_view::npos ? std::string_view() : block.substr(eol + 2);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || !sameIgnoringCase(trimmed(line.substr(0, colon)), kLengthName))
            continue; // other fields (Content-Type) are not needed
        std::uint64_t value = 0;
        if (!parseLength(trimmed(line.substr(colon + 1)), value)) {
            why = "a Content-Length that is not a length: ";
            why.append(trimmed(line.substr(colon + 1)).substr(0, 40));
            return false;
        }
        if (found && value != length) {
            why = "two different Content-Length fields";
            return false;
        }
        found = true;
        length = value;
    }
    if (!found)
        why = "a header without Content-Length";
    return found;
}

} // namespace

void MessageReader::feed(std::string_view in) {
    while (!in.empty()) {
        if (state_ == State::Header) {
            // The block so far never holds its end: it is taken as soon as it is seen.
            const std::size_t from = pending_.size() >= 3 ? pending_.size() - 3 : 0;
            const std::size_t take = std::min(in.size(), kMaxHeader + kEnd.size() - pending_.size());
            pending_.append(in.substr(0, take));
            in.remove_prefix(take);
            const std::size_t end = pending_.find(kEnd, from);
            if (end != std::string::npos) {
                // Bytes past the end belong to the body: give them back.
                const std::size_t past = pending_.size() - (end + kEnd.size());
                in = std::string_view(in.data() - past, in.size() + past);
                pending_.resize(end);
                takeHeader();
            } else if (pending_.size() >= kMaxHeader + kEnd.size()) {
                std::string why = "a header longer than ";
                why += std::to_string(kMaxHeader);
                why += " bytes";
                ready_.push_back({Framed::Kind::BadHeader, std::move(why)});
                // Start again at a later Content-Length, or keep only what
                // could be the start of one.
                const std::size_t at = findLengthName(pending_, 1);
                pending_.erase(0, at != std::string::npos ? at : pending_.size() - kLengthName.size());
            }
            continue;
        }
        const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(left_, in.size()));
        if (state_ == State::Body)
            pending_.append(in.substr(0, take));
        else if (pending_.size() < kKeptOfSkipped)
            pending_.append(in.substr(0, std::min(take, kKeptOfSkipped - pending_.size())));
        in.remove_prefix(take);
        left_ -= take;
        if (left_ == 0) {
            ready_.push_back({state_ == State::Body ? Framed::Kind::Message : Framed::Kind::TooLong,
                              std::move(pending_), length_});
            pending_.clear();
            state_ = State::Header;
        }
    }
}

void MessageReader::takeHeader() {
    const std::string block = std::move(pending_);
    pending_.clear();
    parseHeader(block);
}

void MessageReader::parseHeader(std::string_view block) {
    std::string why;
    std::uint64_t length = 0;
    while (!lengthOf(block, length, why)) {
        ready_.push_back({Framed::Kind::BadHeader, why});
        // The header may follow bytes that lost their own (a body sent
        // without one): try again from the next Content-Length.
        const std::size_t at = findLengthName(block, 1);
        if (at == std::string_view::npos)
            return;
        block.remove_prefix(at);
        why.clear();
    }
    length_ = left_ = length;
    if (length == 0) {
        ready_.push_back({Framed::Kind::Message, {}, 0});
        return;
    }
    state_ = length > kMaxBody ? State::Skip : State::Body;
}

bool MessageReader::next(Framed& out) {
    if (ready_.empty())
        return false;
    out = std::move(ready_.front());
    ready_.pop_front();
    return true;
}

std::string frame(std::string_view body) {
    std::string out = "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    out.append(body);
    return out;
}

} // namespace korvane::lsp
