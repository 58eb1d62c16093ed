// Windows never maps a settings file: it is read into memory (see bytes.h).
#include "bytes.h"

namespace korvane {

Bytes Bytes::map(int, std::size_t) {
    return {};
}

void Bytes::unmap(char*, std::size_t) {}

} // namespace korvane
