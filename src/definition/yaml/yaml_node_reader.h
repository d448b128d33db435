// Reads values out of the event list of one YAML document: the cursor, alias replay with its
// limit, the nesting limit and the path of the value being read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "base/result.h"
#include "base/try.h"
#include "definition/yaml/yaml_error.h"
#include "definition/yaml/yaml_events.h"
#include "definition/yaml/yaml_path.h"
#include "definition/yaml/yaml_scalar.h"

namespace velloquin::core {

template <class T>
using YamlResult = Result<T, ReadError>;

// State shared by every reader of one document.
struct YamlReadState {
  explicit YamlReadState(const YamlDocument& document) : document(document) {}
  const YamlDocument& document;
  std::size_t replays = 0;
  std::size_t replayed_events = 0;
};

class YamlNodeReader {
 public:
  static constexpr std::uint8_t kDepthLimit = 128;
  static_assert(kDepthLimit < kYamlLoadDepthLimit, "the loader must keep every reachable event");

  YamlNodeReader(YamlReadState& state, std::size_t& position, const YamlPath& path,
                 std::uint8_t remaining_depth)
      : state_(state), position_(position), path_(path), remaining_depth_(remaining_depth) {}

  const YamlPath& path() const { return path_; }
  std::uint8_t remaining_depth() const { return remaining_depth_; }
  YamlReadState& state() const { return state_; }
  std::size_t& position() const { return position_; }

  // The next event without moving on; fails at the end of what was loaded with the error that
  // ended the document (or "EOF while parsing a value").
  YamlResult<const YamlEvent*> peek() const;
  YamlResult<const YamlEvent*> next();
  // Counts one replay of an alias; fails once the replays, or the events they replay, exceed
  // 100 times the event count (the second bound keeps a bomb built on one large node from
  // expanding it millions of times).
  YamlResult<std::size_t> replay(const YamlEvent& alias);
  // Replays `alias` and gives `read` a reader on its target, under the alias's path; a failed
  // replay is returned as it is.
  template <class Read>
  auto read_alias(const YamlEvent& alias, Read&& read)
      -> decltype(read(std::declval<YamlNodeReader&>())) {
    VQ_TRY(std::size_t position, replay(alias));
    const YamlPath path = YamlPath::alias_of(path_);
    YamlNodeReader aliased(state_, position, path, remaining_depth_);
    return read(aliased);
  }

  // Any scalar's text as written, whatever its style and tag.
  YamlResult<std::string> read_string(std::string_view expecting);
  // Only a plain scalar spelling a boolean (or a literal block tagged !!bool).
  YamlResult<bool> read_bool(std::string_view expecting);
  // None for a plain null (empty, ~, null, Null, NULL, or one of the four spellings tagged
  // !!null); otherwise the scalar's text as read_string gives it.
  YamlResult<std::optional<std::string>> read_optional_string(std::string_view expecting);
  // A metadata value at any depth, as a JSON value.
  YamlResult<nlohmann::json> read_json();
  // Moves past one whole node.
  YamlResult<void> skip();

  // The invalid-type error for the node `event`, describing it the way type errors do.
  static ReadError invalid_type(const YamlEvent& event, std::string_view expecting);

  // Runs `body` with one unit of depth taken, failing at `mark` when none is left.
  template <class F>
  auto nested(const YamlMark& mark, F&& body) -> decltype(body()) {
    if (remaining_depth_ == 0) return err(yaml_final_error_at("recursion limit exceeded", mark));
    --remaining_depth_;
    auto result = body();
    ++remaining_depth_;
    return result;
  }

  // Reads the rest of a collection whose start event was consumed: skips what the caller left
  // and the end event.
  YamlResult<void> finish_collection();

  // Gives `error` this node's mark and path unless it has a position already.
  ReadError settle(ReadError error, const YamlMark& mark) const {
    if (error.placed()) return error;
    return std::move(error).at(yaml_position(mark, path_.to_string()));
  }

 private:
  YamlResult<nlohmann::json> read_json_from(const YamlEvent& event);

  YamlReadState& state_;
  std::size_t& position_;
  const YamlPath& path_;
  std::uint8_t remaining_depth_;
};

}  // namespace velloquin::core
