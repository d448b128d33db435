#include "definition/json/json_value_reader.h"

#include <utility>

#include "base/try.h"
#include "definition/read_messages.h"
#include "definition/record_reader.h"

namespace velloquin::core {
namespace {

using Json = nlohmann::json;
using Unit = Result<void, ReadError>;

// A `type` value nested deeper than this can match no variable type; the copy stops there so
// that a hostile value cannot make the copy recurse without bound.
constexpr int kContentDepth = 128;

Content content_of(const Json& value, int depth) {
  switch (value.type()) {
    case Json::value_t::boolean:
      return Content::of_bool(value.get<bool>());
    case Json::value_t::number_unsigned:
      return Content::of_u64(value.get<std::uint64_t>());
    case Json::value_t::number_integer:
      return Content::of_i64(value.get<std::int64_t>());
    case Json::value_t::number_float:
      return Content::of_f64(value.get<double>());
    case Json::value_t::string:
      return Content::of_string(value.get_ref<const std::string&>());
    case Json::value_t::array: {
      std::vector<Content> items;
      if (depth < kContentDepth) {
        items.reserve(value.size());
        for (const Json& item : value) items.push_back(content_of(item, depth + 1));
      }
      return Content::of_seq(std::move(items));
    }
    case Json::value_t::object: {
      std::vector<std::pair<Content, Content>> entries;
      if (depth < kContentDepth) {
        for (const auto& [key, item] : value.items()) {
          entries.emplace_back(Content::of_string(key), content_of(item, depth + 1));
        }
      }
      return Content::of_map(std::move(entries));
    }
    default:
      return Content::null();
  }
}

ReadError wrong_kind(const Json& value, std::string_view expected) {
  return read_error(invalid_type(describe_json(value), expected));
}

class JsonObjectEntries final : public EntryReader {
 public:
  explicit JsonObjectEntries(Json::object_t& object) : it_(object.begin()), end_(object.end()) {}

  Result<bool, ReadError> next_key(std::string_view, KeyVisitor visit) override {
    if (it_ == end_) return false;
    VQ_CHECK(visit(it_->first));
    return true;
  }

  Result<void, ReadError> next_value(ValueVisitor visit) override;

 private:
  Json::object_t::iterator it_;
  Json::object_t::iterator end_;
};

class JsonArrayElements final : public ElementReader {
 public:
  explicit JsonArrayElements(Json::array_t& array) : it_(array.begin()), end_(array.end()) {}

  Result<bool, ReadError> next_element(ValueVisitor visit) override;
  bool exhausted() const { return it_ == end_; }

 private:
  Json::array_t::iterator it_;
  Json::array_t::iterator end_;
};

class JsonValue final : public ValueReader {
 public:
  explicit JsonValue(Json& value) : value_(value) {}

  Unit read_record(const RecordShape& shape, RecordVisitor& visitor) override {
    if (value_.is_object()) {
      JsonObjectEntries entries(*value_.get_ptr<Json::object_t*>());
      return visitor.visit_entries(entries);
    }
    if (value_.is_array()) {
      auto& array = *value_.get_ptr<Json::array_t*>();
      const std::size_t length = array.size();
      JsonArrayElements elements(array);
      VQ_CHECK(visitor.visit_elements(elements));
      if (!elements.exhausted()) {
        return err(read_error(invalid_length(length, "fewer elements in array")));
      }
      return {};
    }
    return err(wrong_kind(value_, shape.expecting));
  }

  Unit read_map(EntriesVisitor visit) override {
    if (!value_.is_object()) return err(wrong_kind(value_, "a map"));
    JsonObjectEntries entries(*value_.get_ptr<Json::object_t*>());
    return visit(entries);
  }

  Result<JsonObject, ReadError> read_json_map() override {
    if (!value_.is_object()) return err(wrong_kind(value_, "a map"));
    return std::move(*value_.get_ptr<Json::object_t*>());
  }

  Result<std::string, ReadError> read_string() override {
    if (!value_.is_string()) return err(wrong_kind(value_, "a string"));
    return std::move(*value_.get_ptr<std::string*>());
  }

  Result<std::optional<std::string>, ReadError> read_optional_string() override {
    if (value_.is_null()) return std::optional<std::string>{};
    VQ_TRY(auto text, read_string());
    return std::optional<std::string>(std::move(text));
  }

  Result<bool, ReadError> read_bool() override {
    if (!value_.is_boolean()) return err(wrong_kind(value_, "a boolean"));
    return value_.get<bool>();
  }

  Unit read_unit_enum(const EnumShape&, KeyVisitor visit) override {
    if (value_.is_string()) return visit(value_.get_ref<const std::string&>());
    if (!value_.is_object()) return err(wrong_kind(value_, "string or map"));
    if (value_.size() != 1) {
      return err(read_error(invalid_value("map", "map with a single key")));
    }
    auto& [word, payload] = *value_.get_ptr<Json::object_t*>()->begin();
    VQ_CHECK(visit(word));
    if (!payload.is_null()) return err(wrong_kind(payload, "unit"));
    return {};
  }

  Result<Content, ReadError> read_content() override { return content_of(value_, 0); }

 private:
  Json& value_;
};

Result<void, ReadError> JsonObjectEntries::next_value(ValueVisitor visit) {
  JsonValue value(it_->second);
  ++it_;
  return visit(value);
}

Result<bool, ReadError> JsonArrayElements::next_element(ValueVisitor visit) {
  if (it_ == end_) return false;
  JsonValue value(*it_);
  ++it_;
  VQ_CHECK(visit(value));
  return true;
}

template <class T>
Result<T, JsonValueError> read_with(Json& value, Result<T, ReadError> (*read)(ValueReader&)) {
  JsonValue reader(value);
  auto result = read(reader);
  if (!result) return err(JsonValueError{std::move(result.error().message)});
  return std::move(result).value();
}

}  // namespace

std::string describe_json(const nlohmann::json& value) {
  switch (value.type()) {
    case Json::value_t::boolean:
      return describe_bool(value.get<bool>());
    case Json::value_t::number_unsigned:
      return describe_integer(value.get<std::uint64_t>());
    case Json::value_t::number_integer:
      return describe_integer(value.get<std::int64_t>());
    case Json::value_t::number_float:
      return describe_json_float(value.get<double>());
    case Json::value_t::string:
      return describe_string(value.get_ref<const std::string&>());
    case Json::value_t::array:
      return "sequence";
    case Json::value_t::object:
      return "map";
    case Json::value_t::binary:
      return "byte array";
    default:
      return "null";
  }
}

Result<PromptDefinition, JsonValueError> read_definition_from_json(nlohmann::json value) {
  return read_with<PromptDefinition>(value, read_definition);
}

Result<PromptVariables, JsonValueError> read_variables_from_json(nlohmann::json value) {
  return read_with<PromptVariables>(value, read_variables);
}

Result<PromptVariants, JsonValueError> read_variants_from_json(nlohmann::json value) {
  return read_with<PromptVariants>(value, read_variants);
}

Result<PromptDefinitionName, JsonValueError> read_name_from_json(nlohmann::json value) {
  return read_with<PromptDefinitionName>(value, read_name);
}

Result<PromptDefinitionRole, JsonValueError> read_role_from_json(nlohmann::json value) {
  return read_with<PromptDefinitionRole>(value, read_role);
}

}  // namespace velloquin::core
