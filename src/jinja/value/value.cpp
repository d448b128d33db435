#include "jinja/value/value.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <nlohmann/json.hpp>

#include "jinja/runtime/functions.h"
#include "jinja/value/value_data.h"

namespace velloquin::jinja {

std::string_view kind_name(ValueKind kind) {
  switch (kind) {
    case ValueKind::Undefined:
      return "undefined";
    case ValueKind::None:
      return "none";
    case ValueKind::Bool:
      return "bool";
    case ValueKind::Number:
      return "number";
    case ValueKind::String:
      return "string";
    case ValueKind::Bytes:
      return "bytes";
    case ValueKind::Seq:
      return "sequence";
    case ValueKind::Map:
      return "map";
    case ValueKind::Iterator:
      return "iterator";
    case ValueKind::Plain:
      return "plain object";
    case ValueKind::Invalid:
      return "invalid value";
  }
  return "invalid value";
}

namespace {

bool has_heap(Value::Tag tag) {
  return tag >= Value::Tag::String;
}

constexpr Int128 kInt64Min = std::numeric_limits<std::int64_t>::min();
constexpr Int128 kInt64Max = std::numeric_limits<std::int64_t>::max();
constexpr UInt128 kInt128Max = (static_cast<UInt128>(1) << 127) - 1;

}  // namespace

Value::Value(Int128 i) noexcept {
  if (i >= kInt64Min && i <= kInt64Max) {
    tag_ = Tag::Int;
    u_.i = static_cast<std::int64_t>(i);
  } else {
    tag_ = Tag::Int128;
    auto u = static_cast<UInt128>(i);
    u_.wide[0] = static_cast<std::uint64_t>(u);
    u_.wide[1] = static_cast<std::uint64_t>(u >> 64);
  }
}

Value::Value(UInt128 u) noexcept {
  if (u <= kInt128Max) {
    *this = Value(static_cast<Int128>(u));
  } else {
    tag_ = Tag::UInt128;
    u_.wide[0] = static_cast<std::uint64_t>(u);
    u_.wide[1] = static_cast<std::uint64_t>(u >> 64);
  }
}

Value::Value(std::string s) {
  set_heap(Tag::String, std::make_shared<StringData>(std::move(s)));
}

namespace {

// Allocates a shared object's block with `extra` bytes after it, and reports where they start:
// a copied string then needs one allocation, not one for the block and one for its text.
template <class T>
struct TrailingBytes {
  using value_type = T;
  TrailingBytes(std::size_t extra_bytes, char** tail_start)
      : extra(extra_bytes), tail(tail_start) {}
  template <class U>
  TrailingBytes(const TrailingBytes<U>& other) : extra(other.extra), tail(other.tail) {}
  T* allocate(std::size_t n) {
    char* block = static_cast<char*>(::operator new(n * sizeof(T) + extra));
    *tail = block + n * sizeof(T);
    return reinterpret_cast<T*>(block);
  }
  void deallocate(T* p, std::size_t) { ::operator delete(p); }
  template <class U>
  bool operator==(const TrailingBytes<U>& other) const {
    return extra == other.extra && tail == other.tail;
  }
  std::size_t extra;
  char** tail;
};

// The placed text: the block is allocated before the object is constructed, so `tail` is known.
struct PlacedText {
  char* const* tail;
  std::string_view source;
  operator std::string_view() const {
    if (!source.empty()) std::memcpy(*tail, source.data(), source.size());
    return {*tail, source.size()};
  }
};

}  // namespace

Value::Value(std::string_view s) {
  char* tail = nullptr;
  // The conversion to the text's view, which copies it, runs inside the construction.
  auto data = std::allocate_shared<StringData>(TrailingBytes<StringData>(s.size(), &tail),
                                               PlacedText{&tail, s});
  set_heap(Tag::String, std::move(data));
}

Value Value::string_of_size(std::size_t size, bool safe, char** data) {
  char* tail = nullptr;
  auto block = std::allocate_shared<StringData>(TrailingBytes<StringData>(size, &tail),
                                                PlacedText{&tail, std::string_view()});
  *data = tail;
  block->text = std::string_view(tail, size);
  Value v;
  v.set_heap(Tag::String, std::move(block));
  v.flag_ = safe;
  return v;
}

Value Value::string_copy(std::string_view text, bool safe) {
  Value v(text);
  v.flag_ = safe;
  return v;
}

void Value::set_heap(Tag tag, std::shared_ptr<HeapData> heap) {
  release();
  tag_ = tag;
  new (&u_.heap) std::shared_ptr<HeapData>(std::move(heap));
}

namespace {

// The worklist of the outermost release in progress on this thread, if any.
thread_local std::vector<Value>* pending_release = nullptr;

}  // namespace

bool is_container(const Value& v) {
  switch (v.tag()) {
    case Value::Tag::Seq:
    case Value::Tag::Map:
    case Value::Tag::Iterator:
    case Value::Tag::Object:
      return true;
    default:
      return false;
  }
}

void release_nested(std::vector<Value>& items) {
  if (pending_release) {
    for (auto& v : items)
      if (is_container(v)) pending_release->push_back(std::move(v));
    return;
  }
  std::vector<Value> pending;
  for (auto& v : items)
    if (is_container(v)) pending.push_back(std::move(v));
  if (pending.empty()) return;
  pending_release = &pending;
  while (!pending.empty()) {
    // Released here; its own nested containers join the worklist instead of recursing.
    Value v = std::move(pending.back());
    pending.pop_back();
  }
  pending_release = nullptr;
}

Map::~Map() {
  // Inside a release already under way the nested containers join its worklist directly,
  // without a list of their own.
  if (pending_release) {
    for (auto& [k, v] : entries_) {
      if (is_container(k)) pending_release->push_back(std::move(k));
      if (is_container(v)) pending_release->push_back(std::move(v));
    }
    return;
  }
  std::vector<Value> values;
  for (auto& [k, v] : entries_) {
    if (is_container(k)) values.push_back(std::move(k));
    if (is_container(v)) values.push_back(std::move(v));
  }
  release_nested(values);
}

Value Value::silent_undefined() {
  Value v;
  v.flag_ = true;
  return v;
}

Value Value::none() {
  Value v;
  v.tag_ = Tag::None;
  return v;
}

Value Value::safe_string(std::string s) {
  Value v(std::move(s));
  v.flag_ = true;
  return v;
}

Value Value::bytes(std::string data) {
  Value v;
  v.set_heap(Tag::Bytes, std::make_shared<StringData>(std::move(data)));
  return v;
}

Value Value::seq(std::vector<Value> items) {
  Value v;
  v.set_heap(Tag::Seq, std::make_shared<SeqData>(std::move(items)));
  return v;
}

namespace {

// Later duplicates (keys comparing equal) replace earlier ones, keeping the first position.
void dedupe_in_order(MapEntries& entries) {
  if (entries.size() < 2) return;
  // Host maps rarely hold duplicates: find out in n log n before the quadratic merge.
  std::vector<std::size_t> order(entries.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return compare_values(entries[a].first, entries[b].first) < 0;
  });
  bool duplicates = false;
  for (std::size_t i = 1; i < order.size() && !duplicates; ++i)
    duplicates = compare_values(entries[order[i - 1]].first, entries[order[i]].first) == 0;
  if (!duplicates) return;
  MapEntries out;
  out.reserve(entries.size());
  for (auto& e : entries) {
    auto it = std::find_if(out.begin(), out.end(),
                           [&](const auto& o) { return compare_values(o.first, e.first) == 0; });
    if (it != out.end())
      it->second = std::move(e.second);
    else
      out.push_back(std::move(e));
  }
  entries = std::move(out);
}

}  // namespace

namespace {

bool key_less(const std::pair<Value, Value>& a, const std::pair<Value, Value>& b) {
  return compare_values(a.first, b.first) < 0;
}

// Stable, like std::stable_sort, but without its scratch buffer: the maps made per render are
// small, and most arrive sorted or nearly so.
void sort_small_stable(MapEntries& entries) {
  for (std::size_t i = 1; i < entries.size(); ++i) {
    if (!key_less(entries[i], entries[i - 1])) continue;
    auto moving = std::move(entries[i]);
    std::size_t j = i;
    do {
      entries[j] = std::move(entries[j - 1]);
      --j;
    } while (j > 0 && key_less(moving, entries[j - 1]));
    entries[j] = std::move(moving);
  }
}

constexpr std::size_t kSmallMap = 32;

}  // namespace

Value Value::map(MapEntries entries) {
  if (entries.size() <= kSmallMap)
    sort_small_stable(entries);
  else
    std::stable_sort(entries.begin(), entries.end(), key_less);
  // Equal keys are adjacent now; keep the last value of each run. Host maps rarely hold
  // duplicates, so the entries are only rebuilt when there is one.
  const auto equal_keys = [](const auto& a, const auto& b) {
    return compare_values(a.first, b.first) == 0;
  };
  if (std::adjacent_find(entries.begin(), entries.end(), equal_keys) != entries.end()) {
    MapEntries out;
    out.reserve(entries.size());
    for (auto& e : entries) {
      if (!out.empty() && compare_values(out.back().first, e.first) == 0)
        out.back().second = std::move(e.second);
      else
        out.push_back(std::move(e));
    }
    entries = std::move(out);
  }
  Value v;
  v.set_heap(Tag::Map, std::make_shared<Map>(std::move(entries), true));
  return v;
}

Value Value::map_in_order(MapEntries entries) {
  dedupe_in_order(entries);
  Value v;
  v.set_heap(Tag::Map, std::make_shared<Map>(std::move(entries), false));
  return v;
}

Value Value::kwargs_map(MapEntries entries) {
  Value v = map(std::move(entries));
  v.flag_ = true;
  return v;
}

Value Value::iterator(std::vector<Value> items, bool sized) {
  Value v;
  auto data = std::make_shared<IterData>();
  data->items = std::move(items);
  data->sized = sized;
  v.set_heap(Tag::Iterator, std::move(data));
  return v;
}

Value Value::range(std::int64_t start, std::int64_t step, std::size_t count) {
  Value v;
  auto data = std::make_shared<IterData>();
  data->is_range = true;
  data->range = {start, step, count};
  v.set_heap(Tag::Iterator, std::move(data));
  return v;
}

Value Value::object(std::shared_ptr<Object> object) {
  Value v;
  if (!object) return v;
  v.set_heap(Tag::Object, std::move(object));
  return v;
}

namespace {

Value json_scalar(const nlohmann::json& json) {
  using T = nlohmann::json::value_t;
  switch (json.type()) {
    case T::null:
      return Value::none();
    case T::boolean:
      return Value(json.get<bool>());
    case T::number_integer:
      return Value(static_cast<std::int64_t>(json.get<std::int64_t>()));
    case T::number_unsigned:
      return Value(static_cast<UInt128>(json.get<std::uint64_t>()));
    case T::number_float:
      return Value(json.get<double>());
    case T::string:
      return Value(std::string_view(json.get_ref<const std::string&>()));
    case T::binary: {
      const auto& bin = json.get_binary();
      return Value::bytes(std::string(bin.begin(), bin.end()));
    }
    default:
      return Value();
  }
}

// An array or object being converted, with the children converted so far.
struct JsonFrame {
  const nlohmann::json* node;
  nlohmann::json::const_iterator next;
  std::vector<Value> items;
  MapEntries entries;
};

}  // namespace

// With an explicit stack rather than recursion: context data may nest deeper than the C++
// stack allows.
Value Value::from_json(const nlohmann::json& json) {
  if (!json.is_array() && !json.is_object()) return json_scalar(json);
  std::vector<JsonFrame> stack;
  auto open = [&stack](const nlohmann::json& node) {
    JsonFrame frame{&node, node.cbegin(), {}, {}};
    if (node.is_array())
      frame.items.reserve(node.size());
    else
      frame.entries.reserve(node.size());
    stack.push_back(std::move(frame));
  };
  auto attach = [](JsonFrame& frame, Value child) {
    if (frame.node->is_array())
      frame.items.push_back(std::move(child));
    else
      frame.entries.emplace_back(Value(frame.next.key()), std::move(child));
    ++frame.next;
  };
  open(json);
  while (true) {
    JsonFrame& top = stack.back();
    if (top.next == top.node->cend()) {
      Value done;
      if (top.node->is_array()) {
        done = Value::seq(std::move(top.items));
      } else {
        // A JSON object's keys are unique and in ascending order already.
        done.set_heap(Tag::Map, std::make_shared<Map>(std::move(top.entries), true));
      }
      stack.pop_back();
      if (stack.empty()) return done;
      attach(stack.back(), std::move(done));
      continue;
    }
    const nlohmann::json& child = *top.next;
    if (child.is_array() || child.is_object())
      open(child);
    else
      attach(top, json_scalar(child));
  }
}

ValueKind Value::kind() const {
  switch (tag_) {
    case Tag::Undefined:
      return ValueKind::Undefined;
    case Tag::None:
      return ValueKind::None;
    case Tag::Bool:
      return ValueKind::Bool;
    case Tag::Int:
    case Tag::Int128:
    case Tag::UInt128:
    case Tag::Float:
      return ValueKind::Number;
    case Tag::String:
      return ValueKind::String;
    case Tag::Bytes:
      return ValueKind::Bytes;
    case Tag::Seq:
      return ValueKind::Seq;
    case Tag::Map:
      return ValueKind::Map;
    case Tag::Iterator:
      return ValueKind::Iterator;
    case Tag::Object:
      return static_cast<const Object*>(heap())->kind();
  }
  return ValueKind::Invalid;
}

const std::vector<Value>* Value::items() const {
  if (tag_ == Tag::Seq) return &static_cast<const SeqData*>(heap())->items;
  if (tag_ == Tag::Iterator) {
    auto* d = static_cast<const IterData*>(heap());
    if (!d->is_range) return &d->items;
  }
  return nullptr;
}

std::shared_ptr<const std::vector<Value>> Value::shared_items() const {
  const std::vector<Value>* list = items();
  if (list == nullptr) return nullptr;
  return std::shared_ptr<const std::vector<Value>>(u_.heap, list);
}

Object* Value::object_ptr() const {
  return tag_ == Tag::Object ? static_cast<Object*>(heap()) : nullptr;
}

std::shared_ptr<Object> Value::object_shared() const {
  if (tag_ != Tag::Object) return nullptr;
  return std::static_pointer_cast<Object>(u_.heap);
}

std::optional<Value::RangeSpec> Value::range_spec() const {
  if (tag_ != Tag::Iterator) return std::nullopt;
  auto* d = static_cast<const IterData*>(heap());
  if (!d->is_range) return std::nullopt;
  return d->range;
}

bool Value::iterator_sized() const {
  if (tag_ != Tag::Iterator) return false;
  auto* d = static_cast<const IterData*>(heap());
  return d->is_range || d->sized;
}

std::optional<Int128> Value::to_int128() const {
  switch (tag_) {
    case Tag::Bool:
      return u_.b ? 1 : 0;
    case Tag::Int:
      return u_.i;
    case Tag::Int128:
      return static_cast<Int128>((static_cast<UInt128>(u_.wide[1]) << 64) | u_.wide[0]);
    default:
      return std::nullopt;
  }
}

std::optional<UInt128> Value::to_uint128() const {
  if (tag_ == Tag::UInt128) return (static_cast<UInt128>(u_.wide[1]) << 64) | u_.wide[0];
  auto i = to_int128();
  if (!i || *i < 0) return std::nullopt;
  return static_cast<UInt128>(*i);
}

std::optional<std::int64_t> Value::to_int64_lossless() const {
  switch (tag_) {
    case Tag::Bool:
      return u_.b ? 1 : 0;
    case Tag::Int:
      return u_.i;
    case Tag::Float: {
      double f = u_.f;
      if (std::trunc(f) == f && f >= -9223372036854775808.0 && f < 9223372036854775808.0)
        return static_cast<std::int64_t>(f);
      return std::nullopt;
    }
    default:
      return std::nullopt;
  }
}

std::optional<double> Value::to_double() const {
  switch (tag_) {
    case Tag::Bool:
      return u_.b ? 1.0 : 0.0;
    case Tag::Int:
      return static_cast<double>(u_.i);
    case Tag::Int128:
      return static_cast<double>(*to_int128());
    case Tag::UInt128:
      return static_cast<double>((static_cast<UInt128>(u_.wide[1]) << 64) | u_.wide[0]);
    case Tag::Float:
      return u_.f;
    default:
      return std::nullopt;
  }
}

bool Value::same_instance(const Value& other) const {
  return has_heap(tag_) && tag_ == other.tag_ && heap() == other.heap();
}

bool Value::truthy() const {
  switch (tag_) {
    case Tag::Undefined:
    case Tag::None:
      return false;
    case Tag::Bool:
      return u_.b;
    case Tag::Int:
      return u_.i != 0;
    case Tag::Int128:
    case Tag::UInt128:
      return true;  // never zero in the wide forms
    case Tag::Float:
      return u_.f != 0.0;
    case Tag::String:
    case Tag::Bytes:
      return !str().empty();
    case Tag::Seq:
      return !items()->empty();
    case Tag::Map:
      return map_data()->size() != 0;
    case Tag::Iterator: {
      auto* d = static_cast<const IterData*>(heap());
      if (d->is_range) return d->range.count != 0;
      return !d->sized || !d->items.empty();
    }
    case Tag::Object:
      return object_ptr()->truthy();
  }
  return false;
}

}  // namespace velloquin::jinja
