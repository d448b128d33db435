// Tokens of the template language, as the lexer hands them to the parser.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velloquin::jinja {

enum class TokenKind : std::uint8_t {
  TemplateData,
  VariableStart,
  VariableEnd,
  BlockStart,
  BlockEnd,
  Ident,
  String,
  Int,
  Int128,
  Float,
  Plus,
  Minus,
  Mul,
  Div,
  FloorDiv,
  Pow,
  Mod,
  Dot,
  Comma,
  Colon,
  Tilde,
  Assign,
  Pipe,
  Eq,
  Ne,
  Gt,
  Gte,
  Lt,
  Lte,
  BracketOpen,
  BracketClose,
  ParenOpen,
  ParenClose,
  BraceOpen,
  BraceClose,
};

struct Token {
  TokenKind kind = TokenKind::TemplateData;
  std::uint32_t line = 0;
  // Identifiers and template text point into the source; strings hold their decoded text in
  // `decoded` (escapes make it differ from the source).
  std::string_view text;
  std::string decoded;
  std::uint64_t u64 = 0;
  unsigned __int128 u128 = 0;
  double f64 = 0.0;

  bool is_ident(std::string_view word) const { return kind == TokenKind::Ident && text == word; }
};

// The token's name as syntax errors print it ("identifier", "end of block", "`+`", ...).
std::string_view token_name(TokenKind kind);

}  // namespace velloquin::jinja
