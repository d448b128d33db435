// Undoes the guard's escaping, so a test can compare what a span holds with the value put in.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velloquin::core::testing {

// The three entities the guard writes; anything else passes through as it stands.
inline std::string unescape(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    if (text.substr(i, 5) == "&amp;")
      out += '&', i += 5;
    else if (text.substr(i, 4) == "&lt;")
      out += '<', i += 4;
    else if (text.substr(i, 4) == "&gt;")
      out += '>', i += 4;
    else
      out += text[i++];
  }
  return out;
}

}  // namespace velloquin::core::testing
