// Escaping text for markup. Each byte is looked at once and an entity is never escaped again,
// which is the same as replacing "&" first and then the other characters.
#pragma once

#include <string>
#include <string_view>

namespace velloquin {

enum class MarkupEscape {
  Text,       // & < >: enough that text cannot open or close a tag
  Attribute,  // & < > " ' /: also safe inside a quoted attribute
};

template <MarkupEscape kind>
void append_markup_escaped(std::string& out, std::string_view text) {
  out.reserve(out.size() + text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        if constexpr (kind == MarkupEscape::Attribute) {
          out += "&quot;";
          break;
        }
        out += c;
        break;
      case '\'':
        if constexpr (kind == MarkupEscape::Attribute) {
          out += "&#x27;";
          break;
        }
        out += c;
        break;
      case '/':
        if constexpr (kind == MarkupEscape::Attribute) {
          out += "&#x2f;";
          break;
        }
        out += c;
        break;
      default:
        out += c;
    }
  }
}

}  // namespace velloquin
