// The record readers over a small tree format, to pin down where each error leaves the record
// readers: that is what lets every format put its positions where it wants them.
#include "definition/record_reader.h"

#include <gtest/gtest.h>

#include <memory>

#include "definition/read_messages.h"

namespace velloquin::core {
namespace {

// A document node; `id` stands in for a format's position.
struct Node {
  enum class Kind { Text, Bool, Map, Seq } kind = Kind::Text;
  std::size_t id = 0;
  std::string text;
  bool boolean = false;
  std::vector<std::pair<std::shared_ptr<Node>, std::shared_ptr<Node>>> entries;  // Map
  std::vector<std::shared_ptr<Node>> items;                                      // Seq
};
using NodePtr = std::shared_ptr<Node>;

std::size_t next_id = 0;
NodePtr node(Node::Kind kind) {
  auto made = std::make_shared<Node>();
  made->kind = kind;
  made->id = next_id++;
  return made;
}
NodePtr text(std::string t) {
  auto made = node(Node::Kind::Text);
  made->text = std::move(t);
  return made;
}
NodePtr boolean(bool b) {
  auto made = node(Node::Kind::Bool);
  made->boolean = b;
  return made;
}
NodePtr map(std::vector<std::pair<std::string, NodePtr>> entries) {
  auto made = node(Node::Kind::Map);
  for (auto& [key, value] : entries) made->entries.emplace_back(text(key), value);
  return made;
}

// How a format places what leaves `next_value`: on the enclosing record (marks, as YAML does)
// or on the value itself (spans, as TOML does).
enum class Placement { OnRecord, OnValue };

ReadPosition at(const Node& node) {
  return ReadPosition{node.id, node.id, 0, 0, {}};
}

class TreeValue final : public ValueReader {
 public:
  TreeValue(const Node& node, Placement placement) : node_(node), placement_(placement) {}

  Result<void, ReadError> read_record(const RecordShape& shape, RecordVisitor& visitor) override {
    if (node_.kind != Node::Kind::Map) return err(here(invalid_type(found(), shape.expecting)));
    Entries entries(node_, placement_);
    auto read = visitor.visit_entries(entries);
    if (!read) return err(std::move(read).error().at(at(node_)));
    return {};
  }
  Result<void, ReadError> read_map(EntriesVisitor visit) override {
    if (node_.kind != Node::Kind::Map) return err(here(invalid_type(found(), "a map")));
    Entries entries(node_, placement_);
    auto read = visit(entries);
    if (!read) return err(std::move(read).error().at(at(node_)));
    return {};
  }
  Result<JsonObject, ReadError> read_json_map() override {
    if (node_.kind != Node::Kind::Map) return err(here(invalid_type(found(), "a map")));
    return JsonObject{};
  }
  Result<std::string, ReadError> read_string() override {
    if (node_.kind != Node::Kind::Text) return err(here(invalid_type(found(), "a string")));
    return node_.text;
  }
  Result<std::optional<std::string>, ReadError> read_optional_string() override {
    auto t = read_string();
    if (!t) return err(std::move(t).error());
    return std::optional<std::string>(*t);
  }
  Result<bool, ReadError> read_bool() override {
    if (node_.kind != Node::Kind::Bool) return err(here(invalid_type(found(), "a boolean")));
    return node_.boolean;
  }
  Result<void, ReadError> read_unit_enum(const EnumShape& shape, KeyVisitor visit) override {
    if (node_.kind != Node::Kind::Text) return err(here(invalid_type(found(), shape.expecting)));
    auto read = visit(node_.text);
    if (!read) return err(std::move(read).error().at(at(node_)));
    return {};
  }
  Result<Content, ReadError> read_content() override {
    if (node_.kind == Node::Kind::Text) return Content::of_string(node_.text);
    if (node_.kind == Node::Kind::Bool) return Content::of_bool(node_.boolean);
    return Content::of_map({});
  }

 private:
  class Entries final : public EntryReader {
   public:
    Entries(const Node& node, Placement placement) : node_(node), placement_(placement) {}
    Result<bool, ReadError> next_key(std::string_view, KeyVisitor visit) override {
      if (index_ == node_.entries.size()) return false;
      const Node& key = *node_.entries[index_].first;
      auto read = visit(key.text);
      if (!read) return err(std::move(read).error().at(at(key)));
      return true;
    }
    Result<void, ReadError> next_value(ValueVisitor visit) override {
      const Node& value = *node_.entries[index_++].second;
      TreeValue reader(value, placement_);
      auto read = visit(reader);
      if (!read && placement_ == Placement::OnValue) {
        return err(std::move(read).error().at(at(value)));
      }
      return read;
    }

   private:
    const Node& node_;
    Placement placement_;
    std::size_t index_ = 0;
  };

  std::string found() const {
    switch (node_.kind) {
      case Node::Kind::Text:
        return describe_string(node_.text);
      case Node::Kind::Bool:
        return describe_bool(node_.boolean);
      case Node::Kind::Map:
        return "map";
      case Node::Kind::Seq:
        return "sequence";
    }
    return {};
  }
  ReadError here(std::string message) const { return ReadError{std::move(message), at(node_)}; }

  const Node& node_;
  Placement placement_;
};

class RecordReaderPlacement : public ::testing::Test {
 protected:
  // Reads `root` and returns the error's message and the id of the node it was placed at.
  std::pair<std::string, std::size_t> failure(const NodePtr& root, Placement placement) {
    TreeValue reader(*root, placement);
    auto read = read_definition(reader);
    EXPECT_FALSE(read.ok());
    if (read.ok()) return {};
    EXPECT_TRUE(read.error().placed());
    return {read.error().message, read.error().position->offset};
  }
};

TEST_F(RecordReaderPlacement, KeysValuesAndRecordsEachGetTheirErrors) {
  NodePtr name = text("");
  NodePtr root = map({{"body", text("b")}, {"name", name}, {"role", text("user")}});
  // An empty name is decided after the text was read: on the record, or on the value.
  EXPECT_EQ(failure(root, Placement::OnRecord),
            (std::pair<std::string, std::size_t>{"shorter than 1 characters", root->id}));
  EXPECT_EQ(failure(root, Placement::OnValue).second, name->id);

  NodePtr unknown = map({{"body", text("b")}, {"colour", text("red")}});
  const std::size_t key_id = unknown->entries[1].first->id;
  for (Placement placement : {Placement::OnRecord, Placement::OnValue}) {
    auto [message, id] = failure(unknown, placement);
    EXPECT_EQ(message.rfind("unknown field `colour`", 0), 0u);
    EXPECT_EQ(id, key_id);  // the key, before its value is looked at
  }

  NodePtr repeated = map({{"body", text("a")}, {"body", text("b")}});
  EXPECT_EQ(failure(repeated, Placement::OnValue),
            (std::pair<std::string, std::size_t>{"duplicate field `body`", repeated->id}));

  NodePtr missing = map({{"body", text("b")}});
  EXPECT_EQ(failure(missing, Placement::OnValue),
            (std::pair<std::string, std::size_t>{"missing field `name`", missing->id}));

  NodePtr role = text("System");
  NodePtr bad_role = map({{"body", text("b")}, {"name", text("n")}, {"role", role}});
  EXPECT_EQ(failure(bad_role, Placement::OnRecord).second, role->id);
}

TEST_F(RecordReaderPlacement, InnermostPlacementWins) {
  NodePtr trusted = text("yes");
  NodePtr type = boolean(true);
  NodePtr variable = map({{"trusted", trusted}, {"type", text("string")}});
  NodePtr root = map({{"body", text("b")}, {"variables", map({{"v", variable}})}});
  auto [message, id] = failure(root, Placement::OnValue);
  EXPECT_EQ(message, R"(invalid type: string "yes", expected a boolean)");
  EXPECT_EQ(id, trusted->id);

  NodePtr typed = map({{"trusted", boolean(true)}, {"type", type}});
  NodePtr root2 = map({{"body", text("b")}, {"variables", map({{"v", typed}})}});
  const std::string untagged = "data did not match any variant of untagged enum PromptVariableType";
  EXPECT_EQ(failure(root2, Placement::OnRecord),
            (std::pair<std::string, std::size_t>{untagged, typed->id}));
  EXPECT_EQ(failure(root2, Placement::OnValue),
            (std::pair<std::string, std::size_t>{untagged, type->id}));
}

}  // namespace
}  // namespace velloquin::core
