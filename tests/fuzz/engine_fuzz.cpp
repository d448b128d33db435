// A template source and a JSON context, rendered strictly. The input is the source, a NUL byte
// and the context; a context that is not JSON (or is missing) renders with an empty map. Beyond
// "no crash": an error always has a text, and rendering the same template twice with the same
// context gives the same outcome.
//
// Every input is also read as a stream of choices that builds a second template
// (expression_shapes.h): filters, tests and operators over the results of other filters, on a
// value of every kind, rendered with a context of every kind. It is checked the same way.
//
// Inputs with a number of six digits or more are passed over: that is how a template asks, in
// a few bytes, for a 100 MB string or 100,000 loop turns, which the engine allows and which take
// longer than the time limit under the sanitizers without being a fault.
#include <cstddef>
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "expression_shapes.h"
#include "fuzz_support.h"
#include "jinja/runtime/environment.h"
#include "jinja/runtime/template.h"

namespace {

using velloquin::fuzz::fail;
namespace jinja = velloquin::jinja;

// Operands nest this deep below the statement of a generated template.
constexpr int kShapeDepth = 4;

bool has_long_number(std::string_view input) {
  std::size_t run = 0;
  for (char c : input) {
    run = (c >= '0' && c <= '9') ? run + 1 : 0;
    if (run >= 6) return true;
  }
  return false;
}

nlohmann::json context_from(std::string_view text) {
  auto context = nlohmann::json::parse(text, nullptr, false);
  if (context.is_discarded()) return nlohmann::json::object();
  return context;
}

void check_render(const std::string& source, const nlohmann::json& context) {
  jinja::Environment environment;
  environment.set_undefined_behavior(jinja::UndefinedBehavior::Strict);
  auto added = environment.add_template("t", source);
  if (!added) {
    if (added.error().display().empty()) fail("compile error without text", source);
    return;
  }
  auto tmpl = environment.get_template("t");
  if (!tmpl) fail("compiled template cannot be fetched", source);

  auto first = (*tmpl)->render(jinja::Value::from_json(context));
  auto second = (*tmpl)->render(jinja::Value::from_json(context));
  if (first.ok() != second.ok()) fail("render outcome changes between runs", source);
  if (first) {
    if (*first != *second) fail("render output changes between runs", source);
  } else {
    const std::string text = first.error().display();
    if (text.empty()) fail("render error without text", source);
    if (text != second.error().display()) fail("render error changes between runs", source);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input = velloquin::fuzz::as_text(data, size);
  static const nlohmann::json shape_context = nlohmann::json::parse(velloquin::fuzz::kShapeContext);
  velloquin::fuzz::ByteChooser chooser(input);
  check_render(velloquin::fuzz::ShapeBuilder(chooser).template_source(kShapeDepth), shape_context);

  if (has_long_number(input)) return -1;
  const std::size_t split = input.find('\0');
  const std::string_view source = input.substr(0, split);
  check_render(std::string(source),
               context_from(split == std::string_view::npos ? "" : input.substr(split + 1)));
  return 0;
}
