// Untrusted values from the input, rendered with the guard on. A first byte below the number of
// fixed templates picks one that prints the values in the ways a prompt author would; the rest
// is the value, as JSON when it parses and as a string otherwise. The fixed templates' own text
// holds no "<" or ">", so every "<" in the output must open or close a span the guard filter
// made, the spans never nest, and nothing between the tags is markup.
//
// Any other first byte makes the rest a template of the fuzzer's own, a NUL byte and the value.
// Every word of that template is untrusted; the rewrite must compile whenever the template does,
// keep its literal text (raw blocks included) byte for byte, and no string the context holds may
// show outside a fence.
#include <array>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "../cpp/core/guard/guard_property.h"
#include "core/guard/guard.h"
#include "core/kernel_environment.h"
#include "core/render.h"
#include "fuzz_support.h"
#include "jinja/runtime/template.h"
#include "jinja/value/value.h"

namespace {

using velloquin::fuzz::fail;
namespace core = velloquin::core;

// Each prints x or y (both untrusted) somewhere inside an output expression; t is trusted.
// Left out on purpose: a value taken through a statement ({% set z = x %}{{ z }}), which the
// guard does not follow.
constexpr std::array kTemplates = {
    std::string_view("{{ x }}"),
    std::string_view("A{{x}}B{{ y }}C{{ t }}"),
    std::string_view("{{ x | string | upper }}"),
    std::string_view("{{ x ~ y }}"),
    std::string_view("{{ x | tojson }}"),
    std::string_view("{{ x | pprint }}"),
    std::string_view("{{ y[0] }}{{ y[1] }}"),
    std::string_view("{{ x | replace('&', '<') | replace('a', '>') }}"),
    std::string_view("{{ y | join('</untrusted>') }}"),
    std::string_view("{{ '}}' ~ x ~ '{{' }}"),
    std::string_view("{% for k in [1, 2] %}[{{ x }}]{% endfor %}"),
    std::string_view("{{ x | default('d') }} {{ x | first }}"),
    std::string_view("{{ x | reverse | join }}"),
    std::string_view("{{ x | e }}{{ x | safe }}"),
    std::string_view("{{ x | vq_guard_wrap }}"),
    std::string_view("{{- x -}} {{- y }} {{ x -}}"),
    std::string_view("{{ x | list | map('string') | join('<') }}"),
    std::string_view("{{ y | map('tojson') | join }}"),
    std::string_view("{{ x | indent(2, true) }}{{ x | title }}"),
    std::string_view("{{ x[1:] ~ x[:1] if x is string else x | string }}"),
    std::string_view("{{ x | items | list if x is mapping else x }}"),
    std::string_view("{{ x | dictsort | string if x is mapping else x }}"),
    std::string_view("{{ 'say x' ~ y | string }}"),
    std::string_view("{{ [x, y, t] }}"),
    std::string_view("{{ dict(k=x) }}{{ t }}"),
    std::string_view("{{ x\n|\nstring }}"),
    std::string_view("{{ {'k': x} }}{{ {'a': {'b': y}} }}"),
    std::string_view("{{\fx\f}}{{ t ~\fy }}{{ x\f|upper }}"),
    std::string_view("{% if t == '{{' %}{% endif %}{{ x }}{% if t == '}}' %}{% endif %}"),
    std::string_view("{# {{' #}{{ x }}{# ' }} #}{% set a = \"{{\" %}{{ y }}{% set b = \"}}\" %}"),
    std::string_view("{% raw %}{{ it's }}{% endraw %}{{ x }}{% raw %}isn't {{ t }}{% endraw %}"),
};

const std::vector<core::PromptDefinition>& definitions() {
  static const std::vector<core::PromptDefinition> built = [] {
    std::vector<core::PromptDefinition> out;
    for (std::string_view body : kTemplates) {
      nlohmann::json doc = {{"body", body}, {"name", "g"}, {"role", "user"}};
      doc["variables"] = {{"x", {{"trusted", false}, {"type", "string"}}},
                          {"y", {{"trusted", false}, {"type", "array"}}},
                          {"t", {{"trusted", true}, {"type", "string"}}}};
      auto read = core::read_definition_from_json_text(doc.dump());
      if (!read) fail("guard template definition does not read", read.error().display());
      out.push_back(std::move(read).value());
    }
    return out;
  }();
  return built;
}

// Every "<" opens or closes a span; spans alternate open, close; no ">" outside the tags.
void expect_only_guard_spans(std::string_view text, std::string_view body) {
  bool open = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::string_view rest = text.substr(i);
    if (rest.starts_with(core::kUntrustedOpenTag)) {
      if (open) fail("untrusted span opened inside another", body);
      open = true;
      i += core::kUntrustedOpenTag.size() - 1;
    } else if (rest.starts_with(core::kUntrustedCloseTag)) {
      if (!open) fail("untrusted span closed without opening", body);
      open = false;
      i += core::kUntrustedCloseTag.size() - 1;
    } else if (text[i] == '<' || text[i] == '>') {
      fail("markup outside the guard's tags", body);
    }
  }
  if (open) fail("untrusted span left open", body);
}

bool compiles(std::string source, bool guarded) {
  return core::compile_kernel(std::move(source), guarded).ok();
}

void check_own_template(std::string_view input) {
  namespace testing = core::testing;
  const std::size_t nul = input.find('\0');
  const std::string source(input.substr(0, nul));
  const std::set<std::string> untrusted = testing::words_of(source);
  const std::string rewritten = core::apply_guard_prepass(source, untrusted);
  if (!compiles(source, false)) return;
  if (!compiles(rewritten, true)) fail("the guarded source does not compile", source);
  if (testing::literal_texts(rewritten) != testing::literal_texts(source)) {
    fail("the rewrite changed literal text", source);
  }
  if (untrusted.empty() || !testing::fence_check_applies(source)) return;

  nlohmann::json context = testing::leak_context(untrusted);
  if (nul != std::string_view::npos) {
    const nlohmann::json value = nlohmann::json::parse(input.substr(nul + 1), nullptr, false);
    if (value.is_structured()) {
      for (auto& item : context) item = testing::with_leak_payload(value);
    }
  }
  auto guarded = core::compile_kernel(rewritten, true);
  if (!guarded) fail("the guarded source compiled once and not again", source);
  auto text = guarded->compiled->render(velloquin::jinja::Value::from_json(context));
  if (!text) return;
  if (testing::outside_fences(*text).find(testing::kLeakMark) != std::string::npos) {
    fail("an untrusted value printed outside a fence", source);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return -1;
  if (data[0] >= kTemplates.size()) {
    check_own_template(velloquin::fuzz::as_text(data + 1, size - 1));
    return 0;
  }
  const auto& defs = definitions();
  const core::PromptDefinition& definition = defs[data[0]];
  const std::string_view rest = velloquin::fuzz::as_text(data + 1, size - 1);

  nlohmann::json value = nlohmann::json::parse(rest, nullptr, false);
  if (value.is_discarded()) value = std::string(rest);
  const nlohmann::json context = {{"x", value},
                                  {"y", nlohmann::json::array({value, std::string(rest)})},
                                  {"t", "trusted text"}};

  core::GuardConfig guard;
  guard.enabled = true;
  auto rendered = core::render(definition, std::nullopt, context, guard);
  if (!rendered) return 0;
  if (!rendered->guard) fail("active guard without an advisory", definition.body);
  expect_only_guard_spans(rendered->text, definition.body);
  return 0;
}
