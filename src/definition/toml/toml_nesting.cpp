#include "definition/toml/toml_nesting.h"

#include <algorithm>
#include <vector>

namespace velloquin::core {
namespace {

class NestingScanner {
 public:
  explicit NestingScanner(std::string_view text) : text_(text) {}

  std::optional<TomlSpan> run() {
    while (i_ < text_.size()) {
      const char c = text_[i_];
      if (c == '"' || c == '\'') {
        skip_string(c);
        continue;
      }
      if (c == '#') {
        while (i_ < text_.size() && text_[i_] != '\n') ++i_;
        continue;
      }
      if (c == '\n') {
        if (stack_.empty()) start_key();
        ++i_;
        continue;
      }
      if (c == '[' && stack_.empty() && in_key_ && key_dots_ == 0 && key_start_ == npos) {
        if (auto overflow = header()) return overflow;
        continue;
      }
      if (in_key_ && c != ' ' && c != '\t' && c != '\r' && key_start_ == npos) key_start_ = i_;
      switch (c) {
        case '.':
          if (in_key_) ++key_dots_;
          break;
        case '=':
          if (in_key_) {
            value_depth_ = base() + key_dots_ + 1;
            if (value_depth_ > kTomlNestingLimit) return TomlSpan{key_start_, i_};
            in_key_ = false;
          }
          break;
        case '{':
        case '[':
          // Inside a bracket, what it holds is one level below the deeper of the key that
          // opened it and the enclosing bracket.
          stack_.push_back({c, std::max(value_depth_, base()) + 1});
          if (stack_.back().depth > kTomlNestingLimit) return TomlSpan{i_, i_ + 1};
          if (c == '{') start_key();
          break;
        case '}':
        case ']':
          if (!stack_.empty()) {
            stack_.pop_back();
            value_depth_ = base();
          }
          break;
        case ',':
          if (!stack_.empty() && stack_.back().bracket == '{') start_key();
          break;
        default:
          break;
      }
      ++i_;
    }
    return std::nullopt;
  }

 private:
  static constexpr std::size_t npos = std::string_view::npos;

  struct Open {
    char bracket;
    std::size_t depth;  // the depth of what stands inside it
  };

  std::size_t base() const { return stack_.empty() ? header_depth_ : stack_.back().depth; }

  void start_key() {
    in_key_ = true;
    key_dots_ = 0;
    key_start_ = npos;
  }

  // [a.b.c] or [[a.b]]: the parts become the depth of the keys below it.
  std::optional<TomlSpan> header() {
    const std::size_t start = i_;
    std::size_t depth = 1;
    ++i_;
    if (i_ < text_.size() && text_[i_] == '[') ++depth, ++i_;
    while (i_ < text_.size() && text_[i_] != ']' && text_[i_] != '\n') {
      const char c = text_[i_];
      if (c == '"' || c == '\'') {
        skip_string(c);
        continue;
      }
      if (c == '.') ++depth;
      ++i_;
    }
    if (depth > kTomlNestingLimit) return TomlSpan{start, i_};
    header_depth_ = depth;
    value_depth_ = depth;
    while (i_ < text_.size() && text_[i_] == ']') ++i_;
    in_key_ = false;
    return std::nullopt;
  }

  void skip_string(char quote) {
    const bool multi_line =
        text_.substr(i_, 3) == std::string_view(quote == '"' ? "\"\"\"" : "'''");
    i_ += multi_line ? 3 : 1;
    while (i_ < text_.size()) {
      const char c = text_[i_];
      if (c == '\\' && quote == '"') {
        i_ += 2;
        continue;
      }
      if (!multi_line && c == '\n') return;  // unterminated: toml++ reports it
      if (c == quote && (!multi_line || text_.substr(i_, 3) == std::string(3, quote))) {
        i_ += multi_line ? 3 : 1;
        // A closing run may hold up to two more quotes that belong to the string.
        while (multi_line && i_ < text_.size() && text_[i_] == quote) ++i_;
        return;
      }
      ++i_;
    }
  }

  std::string_view text_;
  std::size_t i_ = 0;
  std::vector<Open> stack_;
  std::size_t header_depth_ = 0;
  std::size_t value_depth_ = 0;
  bool in_key_ = true;
  std::size_t key_dots_ = 0;
  std::size_t key_start_ = npos;
};

}  // namespace

std::optional<TomlSpan> find_toml_nesting_overflow(std::string_view text) {
  return NestingScanner(text).run();
}

}  // namespace velloquin::core
