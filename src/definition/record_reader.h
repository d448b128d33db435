// Reading prompt definitions from any document format.
//
// The record readers below hold every shape rule of a definition (its keys, required fields,
// defaults, the role and type words, the non-empty name) and produce every shape message. They
// are written once, over `ValueReader`: a format supplies one `ValueReader` per document value
// and answers the requests the record readers make of it. The split is serde's
// Deserializer/Visitor split, and the messages and error positions follow from it:
//
//   record reader (visitor side)           format (deserializer side)
//   ----------------------------           --------------------------
//   value.read_record(shape, visitor)  ->  mapping: visitor.visit_entries(entries)
//                                          sequence (where the format has a positional form):
//                                            visitor.visit_elements(elements)
//                                          else: "invalid type: {found}, expected struct X"
//   entries.next_key(expecting, visit) ->  reads one key, calls visit(text); false at the end
//   entries.next_value(visit)          ->  calls visit(reader of the value just keyed)
//   value.read_string()                ->  the text, or "invalid type: {found}, expected a string"
//   ...                                    (one request per kind; see `ValueReader`)
//
// Writing a format reader:
//
//  1. Implement `ValueReader` for "the value at this point of the document", `EntryReader` for
//     the entries of a mapping and `ElementReader` for the elements of a sequence. The format
//     owns everything about its syntax: which of its kinds count as a mapping, a string, a
//     boolean, what null means, how a value is described in "invalid type: {found}, expected
//     {}" (`read_messages.h` has the shared texts), its limits (nesting depth), the order in
//     which it presents keys (document order, or sorted), and whether a sequence may stand for a
//     record (call `visit_elements`, or fail with invalid type) and what happens to elements
//     beyond the last field (reject them after `visit_elements` returns, or ignore them).
//  2. Every request returns the value or a `ReadError`. The format places an error by calling
//     `std::move(error).at(position)` when the error leaves a node that knows its place; the
//     innermost placement wins, so a node may place whatever leaves it. The places that matter:
//       - an error returned by the `visit` callback of `next_key` belongs to the key (an
//         unknown field, an unknown enumeration word);
//       - an error returned by the `visit` callback of `next_value` / `next_element` belongs to
//         the entry's value as a whole, including conversions made after the value was read
//         (an empty name, the untagged type decision): a format that places errors on the
//         value (spans) places it there, a format that places them on the enclosing record
//         leaves it unplaced and lets `read_record` place it;
//       - an error returned by `visit_entries` / `visit_elements` belongs to the record or map:
//         "missing field", "duplicate field", "invalid length", and anything unplaced from
//         inside;
//       - an error a request makes itself (wrong kind, bad syntax) belongs to that value.
//  3. Call an entry point (`read_definition`, ...) with the reader of the document's root
//     value and turn the returned `ReadError` (message and the position you attached) into the
//     format's own error text. The record readers never look inside `ReadPosition`.
//
// Error messages of the record readers are exactly the system's shape texts ("missing field
// `body`", "unknown field `x`, expected one of ...", "duplicate field `x`", "invalid length 0,
// expected struct PromptVariant with 2 elements", "shorter than 1 characters", "unknown variant
// `x`, expected one of `system`, `user`, `assistant`", "data did not match any variant of
// untagged enum PromptVariableType").
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "base/result.h"
#include "definition/content.h"
#include "definition/function_ref.h"
#include "definition/prompt_definition.h"
#include "definition/read_error.h"

namespace velloquin::core {

class ValueReader;
class EntryReader;
class ElementReader;

// A key's text, handed to the record reader; an error returned here belongs to the key.
using KeyVisitor = FunctionRef<Result<void, ReadError>(std::string_view key)>;
// Reads one value; an error returned here belongs to the value as a whole.
using ValueVisitor = FunctionRef<Result<void, ReadError>(ValueReader& value)>;
// Reads the entries of a mapping.
using EntriesVisitor = FunctionRef<Result<void, ReadError>(EntryReader& entries)>;

// What a record is called in messages.
struct RecordShape {
  std::string_view name;                     // "PromptVariable"
  std::string_view expecting;                // "struct PromptVariable"
  std::span<const std::string_view> fields;  // declared order
};

// What an enumeration of unit values is called in messages.
struct EnumShape {
  std::string_view name;                       // "PromptDefinitionRole"
  std::string_view expecting;                  // "enum PromptDefinitionRole"
  std::span<const std::string_view> variants;  // the words, in declared order
};

// The record side of a record read: the format calls exactly one of these, once.
class RecordVisitor {
 public:
  virtual Result<void, ReadError> visit_entries(EntryReader& entries) = 0;
  virtual Result<void, ReadError> visit_elements(ElementReader& elements) = 0;

 protected:
  ~RecordVisitor() = default;
};

// The entries of one mapping, presented one at a time in the format's key order.
class EntryReader {
 public:
  // Reads the next key and calls `visit` with its text; returns false, without calling, once
  // the mapping has no more entries. `expecting` names what a key must be ("field identifier"
  // for a record's keys, "a string" for the keys of a map), for formats whose keys can be of
  // another kind than text.
  virtual Result<bool, ReadError> next_key(std::string_view expecting, KeyVisitor visit) = 0;
  // Reads the value of the key just read with `visit`.
  virtual Result<void, ReadError> next_value(ValueVisitor visit) = 0;

 protected:
  ~EntryReader() = default;
};

// The elements of one sequence, in order.
class ElementReader {
 public:
  // Reads the next element with `visit`; returns false, without calling, at the end.
  virtual Result<bool, ReadError> next_element(ValueVisitor visit) = 0;

 protected:
  ~ElementReader() = default;
};

// One value of a document. Each request is made at most once per value.
class ValueReader {
 public:
  // A record: a mapping (or, where the format allows, a sequence of field values). Anything
  // else fails with "invalid type: {found}, expected {shape.expecting}".
  virtual Result<void, ReadError> read_record(const RecordShape& shape, RecordVisitor& visitor) = 0;
  // A map whose entries the caller reads ("invalid type: {found}, expected a map").
  virtual Result<void, ReadError> read_map(EntriesVisitor visit) = 0;
  // A map of JSON values (`metadata`), converted by the format's own value mapping; expecting
  // "a map".
  virtual Result<JsonObject, ReadError> read_json_map() = 0;
  // Text; expecting "a string".
  virtual Result<std::string, ReadError> read_string() = 0;
  // Text, or none for the format's null; expecting "a string".
  virtual Result<std::optional<std::string>, ReadError> read_optional_string() = 0;
  // A boolean; expecting "a boolean".
  virtual Result<bool, ReadError> read_bool() = 0;
  // An enumeration of unit values: the format finds the word (a string, or the key of a
  // one-entry mapping, as the format allows), calls `visit` with it (an error returned by
  // `visit` belongs to the word), then checks that the payload, if any, is empty.
  virtual Result<void, ReadError> read_unit_enum(const EnumShape& shape, KeyVisitor visit) = 0;
  // A format-neutral copy of the whole value, whatever its kind.
  virtual Result<Content, ReadError> read_content() = 0;

 protected:
  ~ValueReader() = default;
};

// Entry points: each reads one value by the system's shape rules.
Result<PromptDefinition, ReadError> read_definition(ValueReader& value);
Result<PromptVariable, ReadError> read_variable(ValueReader& value);
Result<PromptVariant, ReadError> read_variant(ValueReader& value);
Result<PromptVariables, ReadError> read_variables(ValueReader& value);
Result<PromptVariants, ReadError> read_variants(ValueReader& value);
Result<PromptDefinitionName, ReadError> read_name(ValueReader& value);
Result<PromptDefinitionRole, ReadError> read_role(ValueReader& value);
Result<PromptVariableType, ReadError> read_variable_type(ValueReader& value);

// The shapes, for formats that need to recognise them.
const RecordShape& definition_shape();
const RecordShape& variable_shape();
const RecordShape& variant_shape();
const EnumShape& role_shape();

}  // namespace velloquin::core
