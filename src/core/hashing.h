// Content-addressed provenance: the digests of template sources and rendered texts.
#pragma once

#include <string>
#include <string_view>

namespace velloquin::core {

// SHA-256 of the bytes as 64 lower-case hexadecimal characters, digest bytes in order.
std::string sha256_hex(std::string_view bytes);

}  // namespace velloquin::core
