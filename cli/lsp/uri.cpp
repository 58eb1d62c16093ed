#include "uri.h"

#include <filesystem>

namespace korvane::lsp {
namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

#ifdef _WIN32
bool driveLetterPath(std::string_view path) {
    return path.size() >= 2 && path[1] == ':' &&
           ((path[0] >= 'a' && path[0] <= 'z') || (path[0] >= 'A' && path[0] <= 'Z'));
}
#endif

} // namespace

std::string normalisedPath(std::string_view path) {
    std::string text(path);
#ifdef _WIN32
    for (char& c : text) {
        if (c == '\\')
            c = '/';
    }
    if (driveLetterPath(text) && text[0] >= 'a')
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
#endif
    const std::u8string u8(text.begin(), text.end());
    const std::u8string normal = std::filesystem::path(u8).lexically_normal().generic_u8string();
    std::string out(normal.begin(), normal.end());
    if (out.size() > 1 && out.back() == '/')
        out.pop_back();
    return out;
}

std::optional<std::string> pathOfUri(std::string_view uri) {
    constexpr std::string_view kScheme = "file://";
    if (uri.size() < kScheme.size())
        return std::nullopt;
    for (std::size_t i = 0; i < kScheme.size(); ++i) {
        const char c = uri[i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != kScheme[i])
            return std::nullopt;
    }
    uri.remove_prefix(kScheme.size());
    const std::size_t slash = uri.find('/');
    if (slash == std::string_view::npos)
        return std::nullopt;
    const std::string_view host = uri.substr(0, slash);
    if (!host.empty() && host != "localhost")
        return std::nullopt; // another machine's file: not ours to read
    uri.remove_prefix(slash);
    // A query or fragment is not part of a file's path.
    uri = uri.substr(0, uri.find_first_of("?#"));
    std::string path;
    for (std::size_t i = 0; i < uri.size(); ++i) {
        if (uri[i] != '%') {
            path += uri[i];
            continue;
        }
        const int high = i + 2 < uri.size() ? hexValue(uri[i + 1]) : -1;
        const int low = high >= 0 ? hexValue(uri[i + 2]) : -1;
        if (low < 0) {
            path += '%'; // not an escape: kept as written
            continue;
        }
        const char c = static_cast<char>(high * 16 + low);
        if (c == '\0')
            return std::nullopt;
        path += c;
        i += 2;
    }
#ifdef _WIN32
    if (path.size() >= 3 && path[0] == '/' && driveLetterPath(std::string_view(path).substr(1)))
        path.erase(0, 1);
#endif
    return normalisedPath(path);
}

std::string uriOfPath(std::string_view path) {
    std::string text = normalisedPath(path);
    std::string uri = "file://";
    if (text.empty() || text[0] != '/')
        uri += '/'; // C:/zone, or a relative path taken as it is
    constexpr std::string_view kHex = "0123456789ABCDEF";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || std::string_view("-._~/:").find(c) != std::string_view::npos;
        if (plain) {
            uri += c;
        } else {
            uri += '%';
            uri += kHex[byte >> 4];
            uri += kHex[byte & 15];
        }
    }
    return uri;
}

} // namespace korvane::lsp
