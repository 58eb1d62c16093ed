// Writes a settings file of a given shape and size to standard output, for
// the speed benchmarks: korvane-make-settings SHAPE SIZE, the size in MiB, or
// in KiB with a K after it.
#include "settings_generator.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    std::string text;
    if (argc == 3) {
        char* unit = nullptr;
        const std::size_t size = std::strtoul(argv[2], &unit, 10);
        text = korvane::bench::generateShape(argv[1], size << (*unit == 'K' ? 10 : 20));
    }
    if (text.empty()) {
        std::fputs("usage: korvane-make-settings settings|tiny-sections|repeated-name|"
                   "ship-section|one-key MIB|KIBK\n",
                   stderr);
        return 2;
    }
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() ? 0 : 1;
}
