// Splits template source into tokens, one at a time, without copying the source.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/result.h"
#include "jinja/error.h"
#include "jinja/syntax/token.h"

namespace velloquin::jinja {

// The source with one trailing "\n" and then one trailing "\r" removed.
std::string_view strip_trailing_newline(std::string_view source);

class Lexer {
 public:
  explicit Lexer(std::string_view source) : rest_(source) {}

  // Fills `token` and returns true, or returns false at the end of input. Errors carry the
  // line where lexing stopped (location name left empty).
  Result<bool, Error> next(Token& token);

  // Bytes not yet consumed: the source's length minus this is where the last token ended.
  std::size_t remaining() const { return rest_.size(); }

 private:
  enum class Mode : std::uint8_t { Template, Variable, Block };

  void advance(std::size_t bytes);
  Error error(ErrorKind kind, const char* detail) const;
  Result<bool, Error> lex_template(Token& token);
  Result<bool, Error> lex_in_tag(Token& token);
  Result<bool, Error> lex_number(Token& token);
  Result<bool, Error> lex_string(Token& token);

  std::string_view rest_;
  std::uint32_t line_ = 1;
  Mode mode_ = Mode::Template;
  std::uint32_t brackets_ = 0;
  bool trim_leading_ = false;
};

}  // namespace velloquin::jinja
