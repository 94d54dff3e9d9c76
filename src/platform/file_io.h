#pragma once
// Writing a whole buffer to a file descriptor, through short writes and
// interrupted calls. Uses nothing but write(2), so it is safe inside a signal
// handler too (the crash report uses it).
#include <cstddef>
#include <string_view>

namespace norvane {

// True when every byte was written.
bool writeFully(int fd, const char* data, std::size_t length);
inline bool writeFully(int fd, std::string_view text) { return writeFully(fd, text.data(), text.size()); }

}  // namespace norvane
