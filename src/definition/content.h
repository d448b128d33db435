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
  static Content of_bool(bool b) { return holding(Kind::Bool, &Content::boolean, b); }
  static Content of_u64(std::uint64_t v) { return holding(Kind::U64, &Content::u64, v); }
  static Content of_i64(std::int64_t v) { return holding(Kind::I64, &Content::i64, v); }
  static Content of_f64(double v) { return holding(Kind::F64, &Content::f64, v); }
  static Content of_u128(ContentU128 v) { return holding(Kind::U128, &Content::u128, v); }
  static Content of_i128(ContentI128 v) { return holding(Kind::I128, &Content::i128, v); }
  static Content of_string(std::string s) {
    return holding(Kind::String, &Content::text, std::move(s));
  }
  static Content of_seq(std::vector<Content> items) {
    return holding(Kind::Seq, &Content::items, std::move(items));
  }
  static Content of_map(std::vector<std::pair<Content, Content>> entries) {
    return holding(Kind::Map, &Content::entries, std::move(entries));
  }

 private:
  template <class T>
  static Content holding(Kind kind, T Content::*field, T value) {
    Content c;
    c.kind = kind;
    c.*field = std::move(value);
    return c;
  }
};

}  // namespace velloquin::core
