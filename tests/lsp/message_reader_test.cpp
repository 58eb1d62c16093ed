// The framing on its own: bytes in, bodies and faults out, in order.
#include "message_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvane::lsp {
namespace {

// What a stream gives, one text per event: "M:body", "L:length:start", "H:why".
std::vector<std::string> framedOf(const std::string& stream, std::size_t chunk) {
    MessageReader reader;
    std::vector<std::string> out;
    for (std::size_t at = 0; at < stream.size(); at += chunk) {
        reader.feed(std::string_view(stream).substr(at, chunk));
        Framed framed;
        while (reader.next(framed)) {
            switch (framed.kind) {
            case Framed::Kind::Message:
                out.push_back("M:" + framed.bytes);
                break;
            case Framed::Kind::TooLong:
                out.push_back("L:" + std::to_string(framed.length) + ":" + framed.bytes.substr(0, 8));
                break;
            case Framed::Kind::BadHeader:
                out.push_back("H:" + framed.bytes);
                break;
            }
        }
    }
    return out;
}

struct FramingCase {
    const char* name;
    std::string stream;
    std::vector<std::string> events;
};

const std::string kBig = std::to_string(kMaxBody + 1);

const FramingCase kFramingCases[] = {
    {"one", "Content-Length: 2\r\n\r\n{}", {"M:{}"}},
    {"two in a row", "Content-Length: 1\r\n\r\n1Content-Length: 1\r\n\r\n2", {"M:1", "M:2"}},
    {"a Content-Type too, any case",
     "content-type: application/vscode-jsonrpc; charset=utf-8\r\nCONTENT-LENGTH:  3 \r\n\r\nabc",
     {"M:abc"}},
    {"empty body", "Content-Length: 0\r\n\r\nContent-Length: 1\r\n\r\nx", {"M:", "M:x"}},
    {"no length, then a good message",
     "Content-Type: x\r\n\r\n{\"a\":1}Content-Length: 1\r\n\r\nz",
     {"H:a header without Content-Length", "H:a header without Content-Length", "M:z"}},
    {"negative length",
     "Content-Length: -5\r\n\r\nContent-Length: 1\r\n\r\nq",
     {"H:a Content-Length that is not a length: -5", "M:q"}},
    {"two lengths that differ", "Content-Length: 1\r\nContent-Length: 2\r\n\r\nContent-Length: 1\r\n\r\nk",
     {"H:two different Content-Length fields", "M:k"}},
    {"a body that lost its header",
     "{\"id\":1}Content-Length: 1\r\n\r\nb", {"H:a header without Content-Length", "M:b"}},
    {"a terabyte, skipped without being held",
     "Content-Length: 1099511627776\r\n\r\n{\"id\":1}", {}},
    {"over the limit by one: skipped, its start kept",
     "Content-Length: " + kBig + "\r\n\r\n" + std::string(kMaxBody + 1, 'x') +
         "Content-Length: 1\r\n\r\nn",
     {"L:" + kBig + ":xxxxxxxx", "M:n"}},
    {"a length past 2^64", "Content-Length: 99999999999999999999999\r\n\r\nabc", {}},
    {"a header that never ends", std::string(kMaxHeader + 10, 'h') + "Content-Length: 1\r\n\r\nw",
     {"H:a header longer than 8192 bytes", "H:a header without Content-Length", "M:w"}},
};

class Framing : public testing::TestWithParam<FramingCase> {};

TEST_P(Framing, GivesTheBodiesAndFaultsInOrder) {
    const FramingCase& c = GetParam();
    // Whole, then a byte at a time: where the reads split never matters.
    EXPECT_EQ(framedOf(c.stream, c.stream.size()), c.events);
    if (c.stream.size() < 100000)
        EXPECT_EQ(framedOf(c.stream, 1), c.events);
    else
        EXPECT_EQ(framedOf(c.stream, 4093), c.events);
}

INSTANTIATE_TEST_SUITE_P(Lsp, Framing, testing::ValuesIn(kFramingCases),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             for (char& ch : name)
                                 ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             return name;
                         });

TEST(Framing, HoldsNothingOfASkippedBody) {
    MessageReader reader;
    reader.feed("Content-Length: 1099511627776\r\n\r\n");
    const std::string chunk(1 << 20, 'x');
    for (int i = 0; i < 64; ++i)
        reader.feed(chunk);
    EXPECT_LE(reader.held(), kKeptOfSkipped);
}

TEST(Framing, FramesABody) {
    EXPECT_EQ(frame("{}"), "Content-Length: 2\r\n\r\n{}");
}

} // namespace
} // namespace korvane::lsp
