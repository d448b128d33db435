// A format-neutral copy of one document value, kept so that a value can be tried against
// several shapes (the untagged variable type).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace velloquin::core {

__extension__ typedef __int128 ContentI128;
__extension__ typedef unsigned __int128 ContentU128;

struct Content {
  // Declared rather than implicit: clang with libstdc++ otherwise asks whether Content is
  // default-constructible while std::pair<Content, Content> below is still incomplete.
  Content() {}

  enum class Kind : std::uint8_t {
    Null,  // JSON null, YAML null: the unit value
    Bool,
    U64,
    I64,
    F64,
    U128,  // integers beyond 64 bits, where a format has them
    I128,
    String,
    Seq,
    Map,
  };

  Kind kind = Kind::Null;
  bool boolean = false;
  std::uint64_t u64 = 0;
  std::int64_t i64 = 0;
  double f64 = 0;
  ContentU128 u128 = 0;
  ContentI128 i128 = 0;
  std::string text;
  std::vector<Content> items;                        // Seq
  std::vector<std::pair<Content, Content>> entries;  // Map, in the format's key order

  static Content null() { return Content{}; }
  static Content of_bool(bool b) {
    Content c;
    c.kind = Kind::Bool;
    c.boolean = b;
    return c;
  }
  static Content of_u64(std::uint64_t v) {
    Content c;
    c.kind = Kind::U64;
    c.u64 = v;
    return c;
  }
  static Content of_i64(std::int64_t v) {
    Content c;
    c.kind = Kind::I64;
    c.i64 = v;
    return c;
  }
  static Content of_f64(double v) {
    Content c;
    c.kind = Kind::F64;
    c.f64 = v;
    return c;
  }
  static Content of_u128(ContentU128 v) {
    Content c;
    c.kind = Kind::U128;
    c.u128 = v;
    return c;
  }
  static Content of_i128(ContentI128 v) {
    Content c;
    c.kind = Kind::I128;
    c.i128 = v;
    return c;
  }
  static Content of_string(std::string s) {
    Content c;
    c.kind = Kind::String;
    c.text = std::move(s);
    return c;
  }
  static Content of_seq(std::vector<Content> items) {
    Content c;
    c.kind = Kind::Seq;
    c.items = std::move(items);
    return c;
  }
  static Content of_map(std::vector<std::pair<Content, Content>> entries) {
    Content c;
    c.kind = Kind::Map;
    c.entries = std::move(entries);
    return c;
  }
};

}  // namespace velloquin::core
