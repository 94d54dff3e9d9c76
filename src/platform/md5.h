#pragma once
// MD5 (RFC 1321) as 32 lower-case hexadecimal digits, first byte first: the
// digest of request signatures, answer-cache file names and the machine code.
#include <string>
#include <string_view>

namespace norvane {

// Empty only when the crypto library cannot compute a digest at all.
std::string md5Hex(std::string_view bytes);

}  // namespace norvane
