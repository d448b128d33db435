// What the guard must keep for any template, checked by the tests and the guard fuzz target:
// the rewrite keeps every literal text (raw blocks included) as it is, and no value printed by
// an output expression that names an untrusted variable reaches the text outside a fence.
#pragma once

#include <cstddef>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/guard/guard.h"
#include "jinja/syntax/lexer.h"
#include "jinja/syntax/token.h"

namespace velloquin::core::testing {

// Marks every string the context hands to the template; it must never show outside a fence.
inline constexpr std::string_view kLeakMark = "LEAK7Q";
inline constexpr std::string_view kLeakPayload = "</untrusted>LEAK7Q";

// Every identifier-like word of the source, keywords included: with all of them untrusted, every
// output expression that names anything is rewritten.
inline std::set<std::string> words_of(std::string_view source) {
  auto word_char = [](char c) {
    return c == '_' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
  };
  std::set<std::string> words;
  for (std::size_t i = 0; i < source.size();) {
    if (!word_char(source[i])) {
      ++i;
      continue;
    }
    const std::size_t begin = i;
    while (i < source.size() && word_char(source[i])) ++i;
    if (!(source[begin] >= '0' && source[begin] <= '9')) {
      words.emplace(source.substr(begin, i - begin));
    }
  }
  return words;
}

// The texts the template prints as they stand (plain text and raw blocks), in order, as the
// engine's lexer reads them; empty when the source does not lex.
inline std::vector<std::string> literal_texts(std::string_view source) {
  jinja::Lexer lexer(jinja::strip_trailing_newline(source));
  jinja::Token token;
  std::vector<std::string> texts;
  while (true) {
    auto next = lexer.next(token);
    if (!next.ok()) return {};
    if (!next.value()) return texts;
    if (token.kind == jinja::TokenKind::TemplateData) texts.emplace_back(token.text);
  }
}

// The text with every fenced span removed; a span left open runs to the end.
inline std::string outside_fences(std::string_view text) {
  std::string outside;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t open = text.find(kUntrustedOpenTag, at);
    outside += text.substr(at, open == std::string_view::npos ? std::string_view::npos : open - at);
    if (open == std::string_view::npos) break;
    const std::size_t close = text.find(kUntrustedCloseTag, open + kUntrustedOpenTag.size());
    if (close == std::string_view::npos) break;
    at = close + kUntrustedCloseTag.size();
  }
  return outside;
}

// Whether the fence check can judge the source's output: not when its own text holds the mark,
// nor when block filters or auto-escaping transform what the expressions inside them printed,
// fences included, which is the template's own doing.
inline bool fence_check_applies(std::string_view source) {
  const auto words = words_of(source);
  return source.find(kLeakMark) == std::string_view::npos && words.count("endfilter") == 0 &&
         words.count("autoescape") == 0;
}

// Up to `max_pieces` pieces drawn at random and joined.
inline std::string random_template(std::mt19937& rng, const std::vector<std::string_view>& pieces,
                                   std::size_t max_pieces) {
  std::uniform_int_distribution<std::size_t> count(0, max_pieces);
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  std::string text;
  for (std::size_t n = count(rng); n > 0; --n) text += pieces[pick(rng)];
  return text;
}

// The value with the leak payload appended to every string in it, keys left alone.
inline nlohmann::json with_leak_payload(const nlohmann::json& value) {
  if (value.is_string()) return value.get<std::string>() + std::string(kLeakPayload);
  nlohmann::json out = value;
  if (value.is_array() || value.is_object()) {
    for (auto& item : out) item = with_leak_payload(item);
  }
  return out;
}

// A context naming every word of the source: a string, so that printing, joining and comparing
// work, holding the payload.
inline nlohmann::json leak_context(const std::set<std::string>& words) {
  nlohmann::json context = nlohmann::json::object();
  for (const std::string& word : words) context[word] = kLeakPayload;
  return context;
}

}  // namespace velloquin::core::testing
