// Bytes as the language server's standard input: the framing, then each
// message through the server's step, and the checks it asks for. Whatever
// the bytes, nothing crashes, no more than one body is held, and where the
// reads split never changes what is framed.
#include "fuzz_check.h"
#include "message_reader.h"
#include "session.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

using korvane::lsp::Framed;
using korvane::lsp::MessageReader;

std::vector<Framed> framedOf(std::string_view bytes, std::size_t chunk) {
    MessageReader reader;
    std::vector<Framed> out;
    for (std::size_t at = 0; at < bytes.size(); at += chunk) {
        reader.feed(bytes.substr(at, chunk));
        FUZZ_CHECK(reader.held() <= korvane::lsp::kMaxBody + korvane::lsp::kMaxHeader + 4);
        Framed framed;
        while (reader.next(framed)) {
            FUZZ_CHECK(framed.bytes.size() <= korvane::lsp::kMaxBody);
            out.push_back(std::move(framed));
        }
    }
    return out;
}

bool same(const std::vector<Framed>& a, const std::vector<Framed>& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].kind != b[i].kind || a[i].bytes != b[i].bytes || a[i].length != b[i].length)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    // The first byte chooses where the reads split.
    const std::size_t chunk = 1 + data[0] % 17;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::vector<Framed> whole = framedOf(bytes, bytes.size() + 1);
    FUZZ_CHECK(same(whole, framedOf(bytes, chunk)));

    // Nothing from the disk: the documents the bytes open are all there is.
    static const korvane::MemoryFiles nothing;
    korvane::lsp::Session session(nothing);
    for (const Framed& framed : whole) {
        for (const nlohmann::json& out : session.fault(framed))
            FUZZ_CHECK(out.is_object() && out.value("jsonrpc", "") == "2.0");
        if (session.exitStatus())
            return 0;
    }
    if (session.checkPending())
        session.publish(session.check());
    return 0;
}
