#pragma once

// Standard input as the language server reads it: bytes as they are (no
// text mode on Windows), and whether a read would wait.

#include <cstddef>

namespace korvane::lsp {

// Sets standard input and output up for the protocol's bytes (binary on
// Windows; on POSIX a closed client's pipe is an error, not a signal).
void prepareStandardStreams();

// Whether a read of standard input would return at once (bytes, or its
// end), waiting at most `milliseconds` (-1: as long as it takes).
bool inputWaiting(int milliseconds);

// Reads what standard input has, at most `size` bytes; 0 at its end or on
// an error.
std::size_t readInput(char* buffer, std::size_t size);

} // namespace korvane::lsp
