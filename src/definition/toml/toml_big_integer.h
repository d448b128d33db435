// Integers beyond toml++'s signed 64 bits. toml++ refuses them, so the reader puts a float of
// the same length in their place, parses again, and keeps the true value here, found by the
// literal's byte offset.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "base/result.h"
#include "definition/content.h"

namespace velloquin::core {

struct TomlBigInteger {
  bool negative = false;
  ContentU128 magnitude = 0;
};

// Big integers by the byte offset where their literal starts.
using TomlBigIntegers = std::map<std::size_t, TomlBigInteger>;

// A TOML integer literal (sign, 0x / 0o / 0b prefix, underscores between digits) that fits 128
// bits: up to 2^128 - 1, down to -2^127. None otherwise.
std::optional<TomlBigInteger> parse_toml_big_integer(std::string_view literal);

// A float literal of the same length that toml++ accepts, to stand in for the integer.
std::string toml_integer_stand_in(std::size_t length);

// "integer `N`" within 64 bits, else "integer `N` as i128" (or "as u128" past the signed range).
std::string describe_toml_big_integer(const TomlBigInteger& value);
// An unsigned JSON number up to 2^64 - 1; otherwise "JSON number out of range".
Result<nlohmann::json, std::string> toml_big_integer_json(const TomlBigInteger& value);
Content toml_big_integer_content(const TomlBigInteger& value);

}  // namespace velloquin::core
