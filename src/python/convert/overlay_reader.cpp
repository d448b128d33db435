#include "python/convert/overlay_reader.h"

#include <string>
#include <string_view>
#include <utility>

#include "base/try.h"
#include "definition/json/json_value_reader.h"
#include "definition/read_messages.h"

namespace velloquin::python {
namespace {

using Json = nlohmann::json;

ConsumerError field_error(std::string_view key, std::string_view message) {
  return ConsumerError(
      ConsumerError::Load{"overlay field `" + std::string(key) + "`: " + std::string(message)});
}

std::string wrong_type(const Json& value, std::string_view expected) {
  return core::invalid_type(core::describe_json(value), expected);
}

// Reads one field with `read` (taking the JSON value, giving a Result whose error has a
// display text) into `target` when the key is present.
template <class Target, class Read>
Result<void, ConsumerError> read_field(Json::object_t& object, std::string_view key, Target& target,
                                       Read read) {
  auto found = object.find(std::string(key));
  if (found == object.end()) return {};
  auto value = read(std::move(found->second));
  if (!value) return err(field_error(key, value.error().display()));
  target = std::move(value).value();
  return {};
}

struct TextError {
  std::string message;
  const std::string& display() const { return message; }
};

Result<std::string, TextError> read_body(Json value) {
  if (!value.is_string()) return err(TextError{wrong_type(value, "a string")});
  return std::move(value.get_ref<std::string&>());
}

// Null clears the output model; a str replaces it.
Result<OutputModelChange, TextError> read_output_model(Json value) {
  if (value.is_null()) return OutputModelChange(ClearOutputModel{});
  if (!value.is_string()) return err(TextError{wrong_type(value, "a string")});
  return OutputModelChange(std::move(value.get_ref<std::string&>()));
}

Result<core::JsonObject, TextError> read_metadata(Json value) {
  if (!value.is_object()) return err(TextError{wrong_type(value, "a map")});
  return std::move(value.get_ref<core::JsonObject&>());
}

}  // namespace

Result<PromptOverlay, ConsumerError> read_overlay(Json value) {
  if (!value.is_object()) return err(ConsumerError(ConsumerError::Load{"overlay must be a dict"}));
  Json::object_t& object = value.get_ref<Json::object_t&>();
  PromptOverlay overlay;
  for (auto read : {
           +[](Json::object_t&o, PromptOverlay&r) {
             return read_field(o, "name", r.name, core::read_name_from_json);
           },
           +[](Json::object_t&o, PromptOverlay&r) {
             return read_field(o, "role", r.role, core::read_role_from_json);
           },
           +[](Json::object_t&o, PromptOverlay&r) {
             return read_field(o, "body", r.body, read_body);
           },
           +[](Json::object_t&o, PromptOverlay&r) {
             return read_field(o, "variables", r.variables, core::read_variables_from_json);
           },
           +[](Json::object_t&o, PromptOverlay&r) {
             return read_field(o, "variants", r.variants, core::read_variants_from_json);
           },
           +[](Json::object_t&o, PromptOverlay&r) {
             return read_field(o, "output_model", r.output_model, read_output_model);
           },
           +[](Json::object_t&o, PromptOverlay&r) {
             return read_field(o, "metadata", r.metadata, read_metadata);
           },
       }) {
    VQ_CHECK(read(object, overlay));
  }
  return overlay;
}

}  // namespace velloquin::python
