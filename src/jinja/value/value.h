// Template values: every kind the engine computes with, cheap to copy.
//
// Scalars live inline; strings, sequences, maps, iterators and objects live on the heap behind
// one shared pointer, so copying a value never copies its contents. Heap contents never change
// after construction (objects such as namespaces manage their own mutation).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "jinja/error.h"

namespace velloquin::jinja {

using Int128 = __int128;
using UInt128 = unsigned __int128;

// The kinds named in messages, in the rank order that orders values of different kinds.
enum class ValueKind : std::uint8_t {
  Undefined,
  None,
  Bool,
  Number,
  String,
  Bytes,
  Seq,
  Map,
  Iterator,
  Plain,
  Invalid,
};

// "undefined", "none", "bool", "number", "string", "bytes", "sequence", "map", "iterator",
// "plain object", "invalid value".
std::string_view kind_name(ValueKind kind);

class Value;
class Map;
class Object;  // functions.h
using MapEntries = std::vector<std::pair<Value, Value>>;

// Base of everything a value shares on the heap.
struct HeapData {
  virtual ~HeapData() = default;
};

// The text behind a string or bytes value (here so that reading it is inline): a string of its
// own, or a copy placed right after this object in the same allocation (value.cpp).
struct StringData : HeapData {
  explicit StringData(std::string t) : owned(std::move(t)), text(owned) {}
  // `text` already holds the characters; `owned` stays empty.
  explicit StringData(std::string_view placed) : text(placed) {}
  StringData(const StringData&) = delete;
  StringData& operator=(const StringData&) = delete;
  std::string owned;
  std::string_view text;
};

class Value {
 public:
  // The storage tag: finer than the kind (integers of two widths, two undefined flavours).
  enum class Tag : std::uint8_t {
    Undefined,
    None,
    Bool,
    Int,      // fits int64
    Int128,   // wider signed
    UInt128,  // above the signed 128-bit range (only from large literals)
    Float,
    String,
    Bytes,
    Seq,
    Map,
    Iterator,
    Object,
  };

  Value() noexcept {}  // undefined
  Value(bool b) noexcept : tag_(Tag::Bool) { u_.b = b; }
  Value(int i) noexcept : tag_(Tag::Int) { u_.i = i; }
  Value(long i) noexcept : tag_(Tag::Int) { u_.i = static_cast<std::int64_t>(i); }
  Value(long long i) noexcept : tag_(Tag::Int) { u_.i = static_cast<std::int64_t>(i); }
  Value(unsigned u) noexcept : tag_(Tag::Int) { u_.i = u; }
  Value(unsigned long u) noexcept : Value(static_cast<UInt128>(u)) {}
  Value(unsigned long long u) noexcept : Value(static_cast<UInt128>(u)) {}
  Value(Int128 i) noexcept;
  Value(UInt128 u) noexcept;
  Value(double d) noexcept : tag_(Tag::Float) { u_.f = d; }
  Value(std::string s);
  // A copy of the text, made in the same allocation as its bookkeeping.
  Value(std::string_view s);
  Value(const char* s) : Value(std::string_view(s)) {}

  // Copies and moves are on every hot path: inline, and scalars never touch the heap pointer.
  Value(const Value& other) noexcept : tag_(other.tag_), flag_(other.flag_) {
    if (tag_ >= Tag::String)
      new (&u_.heap) std::shared_ptr<HeapData>(other.u_.heap);
    else
      u_.wide[0] = other.u_.wide[0], u_.wide[1] = other.u_.wide[1];
  }
  Value(Value&& other) noexcept : tag_(other.tag_), flag_(other.flag_) {
    if (tag_ >= Tag::String) {
      new (&u_.heap) std::shared_ptr<HeapData>(std::move(other.u_.heap));
      other.u_.heap.~shared_ptr<HeapData>();
      other.tag_ = Tag::Undefined;
      other.flag_ = false;
    } else {
      u_.wide[0] = other.u_.wide[0], u_.wide[1] = other.u_.wide[1];
    }
  }
  Value& operator=(const Value& other) noexcept {
    if (this != &other) {
      Value copy(other);
      *this = std::move(copy);
    }
    return *this;
  }
  Value& operator=(Value&& other) noexcept {
    if (this != &other) {
      release();
      new (this) Value(std::move(other));
    }
    return *this;
  }
  ~Value() { release(); }

  static Value undefined() { return Value(); }
  // The undefined of `A if C` with a false C: raises none of the strict-mode errors.
  static Value silent_undefined();
  static Value none();
  static Value safe_string(std::string s);
  static Value string(std::string s, bool safe) {
    return safe ? safe_string(std::move(s)) : Value(std::move(s));
  }
  // A copy of `text` (one allocation), safe when `safe` is set.
  static Value string_copy(std::string_view text, bool safe);
  // A string of `size` bytes in one allocation, for a builder that knows the length up front:
  // it writes every byte through `*data` before the value is copied or read.
  static Value string_of_size(std::size_t size, bool safe, char** data);
  static Value bytes(std::string data);
  static Value seq(std::vector<Value> items);
  // A map as the engine builds it: ordered by key (total order), later duplicates win.
  static Value map(MapEntries entries);
  // A map that keeps the given order (host data); later duplicates replace the value in place.
  static Value map_in_order(MapEntries entries);
  // The keyword arguments of a call, seen as one trailing argument by callables without any.
  static Value kwargs_map(MapEntries entries);
  // A lazily produced sequence already computed: prints like a list when sized, else as
  // "<iterator>"; `is sequence` is false.
  static Value iterator(std::vector<Value> items, bool sized = true);
  // range(...) without materialising: start, start+step, ... (count items).
  static Value range(std::int64_t start, std::int64_t step, std::size_t count);
  static Value object(std::shared_ptr<Object> object);
  // One pass; objects become maps in the JSON object's key order.
  static Value from_json(const nlohmann::json& json);

  Tag tag() const { return tag_; }
  ValueKind kind() const;

  bool is_undefined() const { return tag_ == Tag::Undefined; }
  bool is_silent_undefined() const { return tag_ == Tag::Undefined && flag_; }
  bool is_none() const { return tag_ == Tag::None; }
  bool is_bool() const { return tag_ == Tag::Bool; }
  bool is_integer() const {
    return tag_ == Tag::Int || tag_ == Tag::Int128 || tag_ == Tag::UInt128;
  }
  bool is_float() const { return tag_ == Tag::Float; }
  bool is_number() const { return is_integer() || is_float(); }
  bool is_string() const { return tag_ == Tag::String; }
  bool is_safe() const { return tag_ == Tag::String && flag_; }
  bool is_seq() const { return tag_ == Tag::Seq; }
  bool is_map() const { return tag_ == Tag::Map; }
  bool is_kwargs() const { return tag_ == Tag::Map && flag_; }
  bool is_iterator() const { return tag_ == Tag::Iterator; }
  bool is_object() const { return tag_ == Tag::Object; }
  // Sequence or iterator: indexable, iterates its items.
  bool is_seq_like() const { return tag_ == Tag::Seq || tag_ == Tag::Iterator; }

  // Accessors; each is valid only for the tag it names.
  bool as_bool() const { return u_.b; }
  std::int64_t as_int64() const { return u_.i; }
  double as_float() const { return u_.f; }
  // The string's text (also bytes); empty for other kinds.
  std::string_view str() const {
    if (tag_ == Tag::String || tag_ == Tag::Bytes)
      return static_cast<const StringData*>(u_.heap.get())->text;
    return {};
  }
  // Items of a sequence or sized/materialised iterator; nullptr for others (and ranges).
  const std::vector<Value>* items() const;
  // The same items, sharing this value's storage (no copy); nullptr where items() is.
  std::shared_ptr<const std::vector<Value>> shared_items() const;
  inline const Map* map_data() const;
  Object* object_ptr() const;
  std::shared_ptr<Object> object_shared() const;
  // Range parameters when this is a range iterator.
  struct RangeSpec {
    std::int64_t start;
    std::int64_t step;
    std::size_t count;
  };
  std::optional<RangeSpec> range_spec() const;
  // True when this iterator knows its length (always for ranges).
  bool iterator_sized() const;

  // Integer value as 128-bit when it fits (booleans count as 0/1); nullopt otherwise.
  std::optional<Int128> to_int128() const;
  // Non-negative integer value (any width, booleans as 0/1); nullopt otherwise.
  std::optional<UInt128> to_uint128() const;
  // Integer value when representable in int64 (bools, integers, integral floats); nullopt
  // otherwise.
  std::optional<std::int64_t> to_int64_lossless() const;
  // Numbers and bools as double.
  std::optional<double> to_double() const;

  // Same heap instance (sequences, maps, objects ...); for `sameas`.
  bool same_instance(const Value& other) const;

  // Truthiness; undefined and none are false (strictness is checked by the caller).
  bool truthy() const;

  // The printing form (undefined prints empty).
  std::string to_display_string() const;
  void display(std::string& out) const;
  // The one-line repr form (items inside printed containers).
  std::string repr() const;
  void repr(std::string& out) const;
  // The multi-line repr of `pprint` and `debug`.
  std::string pretty_repr() const;

 private:
  friend struct ValueAccess;
  void release() noexcept {
    if (tag_ >= Tag::String) u_.heap.~shared_ptr<HeapData>();
    tag_ = Tag::Undefined;
    flag_ = false;
  }
  void set_heap(Tag tag, std::shared_ptr<HeapData> heap);
  HeapData* heap() const { return u_.heap.get(); }

  Tag tag_ = Tag::Undefined;
  bool flag_ = false;  // safe (strings), silent (undefined)
  union U {
    U() : wide{0, 0} {}
    ~U() {}
    bool b;
    std::int64_t i;
    double f;
    std::uint64_t wide[2];  // Int128/UInt128, little end first
    std::shared_ptr<HeapData> heap;
  } u_;
};

// Ordered key/value pairs: engine-built maps sorted by key, host maps in their own order.
class Map : public HeapData {
 public:
  // `sorted`: the entries are in ascending key order (enables binary search).
  Map(MapEntries entries, bool sorted) : entries_(std::move(entries)), sorted_(sorted) {}
  ~Map() override;
  const MapEntries& entries() const { return entries_; }
  std::size_t size() const { return entries_.size(); }
  bool sorted() const { return sorted_; }
  // Keys match when they compare equal in the total order (1 and 1.0 are one key).
  const Value* find(const Value& key) const;
  const Value* find(std::string_view key) const;
  const Value* find(const char* key) const { return find(std::string_view(key)); }

 private:
  MapEntries entries_;
  bool sorted_;
};

inline const Map* Value::map_data() const {
  return tag_ == Tag::Map ? static_cast<const Map*>(u_.heap.get()) : nullptr;
}

// Sequences, maps, iterators and objects: the values that hold other values by reference.
bool is_container(const Value& v);

// Equality per the language: numbers numerically, sequences element-wise, maps by entries.
bool values_equal(const Value& a, const Value& b);
// The total order (kind rank first); <0, 0, >0.
int compare_values(const Value& a, const Value& b);

// Display forms of numbers, shared with the format filter.
void write_float_display(std::string& out, double d);
void write_float_repr(std::string& out, double d);
void write_int128(std::string& out, Int128 v);
void write_uint128(std::string& out, UInt128 v);

}  // namespace velloquin::jinja
