#include "core/render.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/compiled_arms.h"
#include "core/guard/guard.h"
#include "core/guard/guard_filter.h"
#include "core/guard/guard_property.h"
#include "core/hashing.h"
#include "core/kernel_definitions.h"
#include "core/kernel_environment.h"
#include "core/markup_unescape.h"
#include "jinja/runtime/environment.h"
#include "jinja/runtime/template.h"

namespace velloquin::core {
namespace {

using nlohmann::json;
using testing::definition;
using testing::unescape;
using testing::words_of;
using Kind = KernelError::Kind;

constexpr std::string_view kUntrustedX = R"({"x": {"trusted": false, "type": "string"},
                                             "t": {"trusted": true, "type": "string"}})";
constexpr std::string_view kTrustedOnly = R"({"t": {"trusted": true, "type": "string"}})";

const GuardConfig kOff{};
const GuardConfig kOn{std::nullopt, true};
const GuardConfig kOnBadOverride{std::string("no tags here"), true};
const GuardConfig kOffBadOverride{std::string("no tags here"), false};

// ---- the guard filter on its own -------------------------------------------------------------

TEST(GuardWrapValue, WrapsThePrintedFormOfEveryKind) {
  struct Case {
    jinja::Value value;
    std::string_view wrapped;
  };
  const Case cases[] = {
      {jinja::Value("a<b & c>d"), "<untrusted>a&lt;b &amp; c&gt;d</untrusted>"},
      {jinja::Value("&lt;"), "<untrusted>&amp;lt;</untrusted>"},
      {jinja::Value(std::int64_t{42}), "<untrusted>42</untrusted>"},
      {jinja::Value(true), "<untrusted>True</untrusted>"},
      {jinja::Value(""), "<untrusted></untrusted>"},
  };
  for (const Case& c : cases) {
    auto wrapped = guard_wrap_value(c.value);
    ASSERT_TRUE(wrapped.ok()) << c.wrapped;
    ASSERT_TRUE(wrapped->is_string());
    EXPECT_EQ(wrapped->to_display_string(), c.wrapped);
  }
}

// ---- render ----------------------------------------------------------------------------------

struct Outcome {
  std::optional<std::string> text;  // expected text, when the render succeeds
  std::optional<Kind> kind;         // expected error kind otherwise
  std::string error_text = {};      // checked when not empty
};

Outcome text(std::string t) {
  return {std::move(t), std::nullopt};
}
Outcome fails(Kind kind, std::string error_text = {}) {
  return {std::nullopt, kind, std::move(error_text)};
}

struct Case {
  const char* what;
  PromptDefinition definition;
  std::optional<std::string_view> variant;
  json context;
  GuardConfig guard;
  Outcome expected;
};

std::vector<Case> Cases() {
  const json x_lt = {{"x", "a<b"}, {"t", "<t>"}};
  return {
      {"no escaping and the final line feed dropped", definition("Hi {{ x }}\n", kUntrustedX),
       std::nullopt, x_lt, kOff, text("Hi a<b")},
      {"two line feeds keep one", definition("Hi\n\n"), std::nullopt, json::object(), kOff,
       text("Hi\n")},
      {"carriage return and line feed dropped", definition("Hi\r\n"), std::nullopt, json::object(),
       kOff, text("Hi")},
      {"empty source", definition(""), std::nullopt, json::object(), kOff, text("")},
      {"a named variant", definition("root", "{}", R"({"v": {"body": "in v"}})"), "v",
       json::object(), kOff, text("in v")},
      {"guard active wraps untrusted output only",
       definition("{{ x }} {{ t }} {{- x | upper -}} !", kUntrustedX), std::nullopt, x_lt, kOn,
       text("<untrusted>a&lt;b</untrusted> <t><untrusted>A&lt;B</untrusted>!")},
      {"guard enabled without untrusted variables changes nothing, override unchecked",
       definition("{{ t }}", kTrustedOnly), std::nullopt, json{{"t", "<t>"}}, kOnBadOverride,
       text("<t>")},
      {"guard off ignores a bad override", definition("{{ x }}", kUntrustedX), std::nullopt, x_lt,
       kOffBadOverride, text("a<b")},
      {"a number through the filter", definition("{{ x }}", kUntrustedX), std::nullopt,
       json{{"x", 42}}, kOn, text("<untrusted>42</untrusted>")},
      {"the filter named in the template works only under an active guard",
       definition("{{ t | vq_guard_wrap }}", kUntrustedX), std::nullopt, x_lt, kOn,
       text("<untrusted>&lt;t&gt;</untrusted>")},
      {"the filter without an active guard is unknown",
       definition("{{ t | vq_guard_wrap }}", kUntrustedX), std::nullopt, x_lt, kOff,
       fails(Kind::Render)},
      {"the filter takes no arguments", definition("{{ t | vq_guard_wrap(1) }}", kUntrustedX),
       std::nullopt, x_lt, kOn, fails(Kind::Render)},
      {"whitespace markers survive the rewrite", definition("a  {{- x -}}  b", kUntrustedX),
       std::nullopt, x_lt, kOn, text("a<untrusted>a&lt;b</untrusted>b")},
      {"a missing value is an undefined error with the engine's text",
       definition("line one\n\n{{ missing }}"), std::nullopt, json::object(), kOff,
       fails(Kind::UndefinedVariable, "undefined value (in kernel:3)")},
      {"an unknown variant comes first", definition("{{", kUntrustedX), "nope", x_lt,
       kOnBadOverride, fails(Kind::UnknownVariant, "nope")},
      {"a bad override comes before a syntax error", definition("{{", kUntrustedX), std::nullopt,
       x_lt, kOnBadOverride, fails(Kind::InvalidGuardAdvisory)},
      {"an excluded statement keeps its spelling", definition("{% INCLUDE 'x' %}"), std::nullopt,
       json::object(), kOff, fails(Kind::ExcludedFeature)},
      {"an unclosed expression", definition("{{ x"), std::nullopt, json::object(), kOff,
       fails(Kind::Parse)},
      {"an unknown filter", definition("{{ 1 | no_such }}"), std::nullopt, json::object(), kOff,
       fails(Kind::Render)},
      {"an invalid operation", definition("{{ 1 + 'a' }}"), std::nullopt, json::object(), kOff,
       fails(Kind::Render)},
      {"the engine's globals are there", definition("{{ range(3) | join(',') }}"), std::nullopt,
       json::object(), kOff, text("0,1,2")},
  };
}

TEST(Render, OutcomesTable) {
  for (const Case& c : Cases()) {
    auto result = render(c.definition, c.variant, c.context, c.guard);
    if (c.expected.text) {
      ASSERT_TRUE(result.ok()) << c.what << ": " << result.error().text;
      EXPECT_EQ(result->text, *c.expected.text) << c.what;
      continue;
    }
    ASSERT_FALSE(result.ok()) << c.what << ": rendered " << result->text;
    EXPECT_EQ(result.error().kind, *c.expected.kind) << c.what << ": " << result.error().text;
    if (!c.expected.error_text.empty()) {
      EXPECT_EQ(result.error().text, c.expected.error_text) << c.what;
    }
  }
}

TEST(Render, ProvenanceAndAdvisory) {
  const PromptDefinition d =
      definition("Hi {{ x }}\n", kUntrustedX, R"({"v": {"body": "V {{ t }}"}})");
  const json context = {{"x", "a<b"}, {"t", "T"}};
  const std::string custom = "<untrusted></untrusted> values are escaped";

  auto off = render(d, std::nullopt, context, kOff);
  auto on = render(d, "default", context, kOn);
  auto own = render(d, std::nullopt, context, GuardConfig{custom, true});
  auto variant = render(d, "v", context, kOn);
  ASSERT_TRUE(off.ok() && on.ok() && own.ok() && variant.ok());

  EXPECT_EQ(off->name, "p");
  EXPECT_EQ(off->variant, "default");
  EXPECT_EQ(on->variant, "default");
  EXPECT_EQ(variant->variant, "v");
  EXPECT_EQ(off->template_hash, sha256_hex("Hi {{ x }}\n"));
  EXPECT_EQ(on->template_hash, off->template_hash);  // the rewrite never changes it
  EXPECT_EQ(variant->template_hash, sha256_hex("V {{ t }}"));
  for (const auto* r : {&*off, &*on, &*own, &*variant}) {
    EXPECT_EQ(r->render_hash, sha256_hex(r->text));
  }
  EXPECT_NE(on->text, off->text);
  EXPECT_EQ(off->guard, std::nullopt);
  EXPECT_EQ(on->guard, std::string(kDefaultGuardAdvisory));
  EXPECT_EQ(own->guard, custom);
  EXPECT_EQ(variant->guard, std::string(kDefaultGuardAdvisory));  // active for the definition
  EXPECT_EQ(on->text.find(kDefaultGuardAdvisory), std::string::npos);

  // Enabled, but nothing untrusted: the guard does not act, so there is no advisory to give.
  auto idle =
      render(definition("{{ t }}", kTrustedOnly), std::nullopt, json{{"t", "T"}}, kOnBadOverride);
  ASSERT_TRUE(idle.ok());
  EXPECT_EQ(idle->guard, std::nullopt);

  auto empty = render(definition(""), std::nullopt, json::object(), kOff);
  ASSERT_TRUE(empty.ok());
  EXPECT_EQ(empty->template_hash, empty->render_hash);
}

TEST(Render, SameInputsGiveTheSameResult) {
  for (const Case& c : Cases()) {
    auto first = render(c.definition, c.variant, c.context, c.guard);
    for (int i = 0; i < 3; ++i) {
      auto again = render(c.definition, c.variant, c.context, c.guard);
      ASSERT_EQ(first.ok(), again.ok()) << c.what;
      if (first.ok()) {
        EXPECT_EQ(*first, *again) << c.what;
      } else {
        EXPECT_EQ(first.error(), again.error()) << c.what;
      }
    }
  }
}

// Rendering from arms compiled ahead gives exactly what compiling afresh gives: texts, hashes,
// advisories and failures, for every arm and both guard settings. The definitions include arms
// that do not compile, which the compiled arms leave out.
TEST(Render, CompiledArmsGiveWhatAFreshCompileGives) {
  std::vector<Case> cases = Cases();
  const PromptDefinition arms = definition("Hi {{ x }}\n", kUntrustedX,
                                           R"({"v": {"body": "V {{ t }}"}, "w": {"body": "{{"}})");
  const json context = {{"x", "a<b"}, {"t", "<t>"}};
  for (std::optional<std::string_view> variant :
       {std::optional<std::string_view>(), std::optional<std::string_view>("default"),
        std::optional<std::string_view>("v"), std::optional<std::string_view>("w"),
        std::optional<std::string_view>("nope")}) {
    for (const GuardConfig& guard : {kOff, kOn, kOnBadOverride}) {
      cases.push_back({"arms of one definition", arms, variant, context, guard, text("")});
    }
  }
  for (const Case& c : cases) {
    const auto compiled = CompiledArms::build(c.definition);
    const jinja::Value value = jinja::Value::from_json(c.context);
    auto fresh = render(c.definition, c.variant, value, c.guard);
    auto ahead = render(c.definition, *compiled, c.variant, value, c.guard);
    ASSERT_EQ(fresh.ok(), ahead.ok()) << c.what;
    if (fresh.ok()) {
      EXPECT_EQ(*fresh, *ahead) << c.what;
    } else {
      EXPECT_EQ(fresh.error(), ahead.error()) << c.what;
    }
  }
}

TEST(Render, CompiledArmsHoldEveryArmThatCompiles) {
  const PromptDefinition d = definition("{{ x }}", kUntrustedX,
                                        R"({"v": {"body": "{{ t }}"}, "w": {"body": "{% if %}"}})");
  const auto compiled = CompiledArms::build(d);
  EXPECT_TRUE(compiled->guard_acts());
  for (bool guarded : {false, true}) {
    EXPECT_NE(compiled->find("default", guarded), nullptr) << guarded;
    EXPECT_NE(compiled->find("v", guarded), nullptr) << guarded;
    EXPECT_EQ(compiled->find("w", guarded), nullptr) << guarded;
    EXPECT_EQ(compiled->find("nope", guarded), nullptr) << guarded;
  }
  ASSERT_NE(compiled->template_hash("v"), nullptr);
  EXPECT_EQ(*compiled->template_hash("v"), sha256_hex("{{ t }}"));

  const auto trusted = CompiledArms::build(definition("{{ t }}", kTrustedOnly));
  EXPECT_FALSE(trusted->guard_acts());
  EXPECT_EQ(trusted->find("default", true), nullptr);  // the guard never acts: nothing to hold
}

// Says stop at its first question.
class StopAtOnce final : public jinja::Interruption {
 public:
  Result<void, jinja::Error> check() override {
    return err(jinja::Error(jinja::ErrorKind::InvalidOperation, "stop"));
  }
};

// A long arm stops when told, compiled ahead or afresh, guarded or not, as a Render error with
// the host's text; a short one never hears of it.
TEST(Render, AnInterruptionStopsALongRenderAsARenderError) {
  const PromptDefinition d = definition(
      "{% for i in range(100000) %}{% for j in range(100000) %}{% endfor %}{% endfor %}{{ x }}",
      kUntrustedX, R"({"short": {"body": "{{ x }}"}})");
  const auto compiled = CompiledArms::build(d);
  const json context = {{"x", "a"}, {"t", "b"}};
  for (const GuardConfig& guard : {kOff, kOn}) {
    StopAtOnce stop;
    auto fresh = render(d, std::nullopt, jinja::Value::from_json(context), guard, &stop);
    auto ahead = render(d, *compiled, std::nullopt, jinja::Value::from_json(context), guard, &stop);
    for (const auto* rendered : {&fresh, &ahead}) {
      ASSERT_FALSE(rendered->ok()) << guard.enabled;
      EXPECT_EQ(rendered->error(),
                (KernelError{Kind::Render, "invalid operation: stop (in kernel:1)"}))
          << guard.enabled;
    }
    auto short_arm = render(d, *compiled, "short", jinja::Value::from_json(context), guard, &stop);
    EXPECT_TRUE(short_arm.ok()) << guard.enabled;
  }
}

// The compiled arms of one definition rendered by several threads at once, every arm and both
// guard settings: each render gives what a render alone gives.
TEST(Render, ThreadsRenderOneDefinitionsCompiledArmsAtOnce) {
  const PromptDefinition d = definition(
      "{% for i in range(300) %}{{ x }}{{ t|upper }}{{ [i, x]|join(',') }}{% endfor %}",
      kUntrustedX, R"({"v": {"body": "{% for i in range(500) %}{{ x ~ i }}{% endfor %}"}})");
  const auto compiled = CompiledArms::build(d);
  const jinja::Value value = jinja::Value::from_json(json{{"x", "a</untrusted>"}, {"t", "b"}});
  struct Job {
    std::optional<std::string_view> variant;
    GuardConfig guard;
    RenderResult expected;
  };
  std::vector<Job> jobs;
  for (std::optional<std::string_view> variant :
       {std::optional<std::string_view>(), std::optional<std::string_view>("v")}) {
    for (const GuardConfig& guard : {kOff, kOn}) {
      auto alone = render(d, *compiled, variant, value, guard);
      ASSERT_TRUE(alone.ok());
      jobs.push_back({variant, guard, *alone});
    }
  }
  std::vector<int> mismatches(4, 0);
  std::vector<std::thread> threads;
  for (int& count : mismatches) {
    threads.emplace_back([&] {
      for (int round = 0; round < 50; ++round) {
        const Job& job = jobs[round % jobs.size()];
        auto rendered = render(d, *compiled, job.variant, value, job.guard);
        if (!rendered.ok() || !(*rendered == job.expected)) ++count;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

// ---- no value can forge a delimiter ----------------------------------------------------------

// Fragments an attacker would try, mixed at random: tags whole and in pieces, entities that an
// unescape could turn into tags, template syntax, quotes and multi-byte characters.
std::string adversarial(std::mt19937& random) {
  static const std::vector<std::string_view> kPieces = {"<untrusted>",
                                                        "</untrusted>",
                                                        "<",
                                                        ">",
                                                        "&",
                                                        "/",
                                                        "untrusted",
                                                        "&lt;",
                                                        "&gt;",
                                                        "&amp;",
                                                        "&lt;/untrusted&gt;",
                                                        "{{",
                                                        "}}",
                                                        "{%",
                                                        "%}",
                                                        "'",
                                                        "\"",
                                                        "\\",
                                                        " ",
                                                        "\n",
                                                        "x",
                                                        "\xC3\xA9",
                                                        "\xE4\xB8\xAD",
                                                        "\xF0\x9F\x98\x80",
                                                        "\xE2\x80\xA8",
                                                        "<</untrusted>>",
                                                        "&#60;",
                                                        std::string_view("\0", 1)};
  std::uniform_int_distribution<std::size_t> length(0, 12), piece(0, kPieces.size() - 1);
  std::string out;
  for (std::size_t i = length(random); i > 0; --i) out.append(kPieces[piece(random)]);
  return out;
}

TEST(Render, UntrustedValuesCannotForgeDelimiters) {
  // Three guarded outputs, of a plain value, a filtered value and a concatenation, between
  // static text that holds no markup.
  const PromptDefinition d = definition(
      "Q: {{ x }}\nA: {{ y | trim }} / {{- 'pre:' ~ x ~ y -}} .",
      R"({"x": {"trusted": false, "type": "string"}, "y": {"trusted": false, "type": "string"}})");
  std::mt19937 random(20261210);
  for (int round = 0; round < 300; ++round) {
    const std::string x = adversarial(random), y = adversarial(random);
    auto result = render(d, std::nullopt, json{{"x", x}, {"y", y}}, kOn);
    ASSERT_TRUE(result.ok()) << result.error().text;
    const std::string& text = result->text;
    // Walk the spans: outside them no markup at all, inside them none unescaped.
    std::vector<std::string> spans;
    std::size_t at = 0;
    std::string outside;
    while (true) {
      const std::size_t open = text.find(kUntrustedOpenTag, at);
      outside += text.substr(at, open == std::string::npos ? std::string::npos : open - at);
      if (open == std::string::npos) break;
      const std::size_t inner = open + kUntrustedOpenTag.size();
      const std::size_t close = text.find(kUntrustedCloseTag, inner);
      ASSERT_NE(close, std::string::npos) << text;
      spans.emplace_back(text.substr(inner, close - inner));
      at = close + kUntrustedCloseTag.size();
    }
    ASSERT_EQ(spans.size(), 3u) << text;
    EXPECT_EQ(outside.find_first_of("<>"), std::string::npos) << text;
    for (const std::string& span : spans) {
      EXPECT_EQ(span.find_first_of("<>"), std::string::npos) << span;
    }
    // And the escaping loses nothing: the plain value comes back whole.
    EXPECT_EQ(unescape(spans[0]), x);
  }
}

// ---- the rewrite keeps templates compiling -------------------------------------------------

// Templates written to stress the rewrite, then every template of the engine's conformance corpus.
std::vector<std::string> rewrite_sources() {
  std::vector<std::string> sources = {
      "{{x}}",
      "{{- x -}}",
      "{{- x }}",
      "{{ x -}}",
      "a {{-x-}} b",
      "{{ -x }}",
      "{{ - x }}",
      "{{ x if y else z }}",
      "{{ x is defined }}",
      "{{ not x }}",
      "{{ x | upper | lower }}",
      "{{ {'k': x} }}",
      "{{ [x, y][0] }}",
      "{{ x ~ '}}' }}",
      "{{ '{{' ~ x }}",
      "{{ x(1, k=2) }}",
      "{% raw %}{{ x }}{% endraw %}",
      "{# {{ x }} #}",
      "{% set s = '{{ x }}' %}{{ s }}",
      "{% for i in x %}{{- i -}}{% endfor %}",
      "{{ x.y.z }}",
      "{{ x['a'] }}",
      "{{ \"x\" }}",
      "{{ x }}}",
      "{{+ x }}",
      "{{ x +}}",
      "{{ x - 1 -}}",
      "{{ (x) }}",
      "{{ x and y or z }}",
      "{{ x * -1 }}",
      "{{ x|default('-') }}",
      "{{\fx\f}}",
      "{{ x\f|upper }}",
      "{{ t ~\fx }}",
      "{% if t == '{{' %}{% endif %}{{ x }}{% if t == '}}' %}{% endif %}",
      "{% set a = \"{{\" %}{{ x }}{% set b = \"}}\" %}",
      "{# {{' #}{{ x }}{# ' }} #}",
      "{% raw %}{{ it's }}{% endraw %}{{ x }}{% raw %}isn't {{ t }}{% endraw %}",
      "{%- raw -%} {{ x }} {%- endraw %} {{ x }}",
      "{{ {'a': {'b': x}} }}",
      "{{ x[1:] ~ x[:1] }}",
      "{{ [x][0:1] | join }}",
  };
  std::ifstream corpus(VELLOQUIN_SOURCE_DIR "/tests/jinja_conformance/cases.jsonl");
  for (std::string line; std::getline(corpus, line);) {
    if (!line.empty()) sources.push_back(json::parse(line).at("template").get<std::string>());
  }
  return sources;
}

// The engine fuzz target's seeds and what it found, when a fuzz build has written them: each
// file is a template, a NUL byte and a context.
std::vector<std::string> fuzz_corpus_sources() {
  std::vector<std::string> sources;
  namespace fs = std::filesystem;
  for (const char* dir : {"/build/fuzz/seeds/engine", "/build/fuzz/corpus/engine"}) {
    const fs::path path = fs::path(VELLOQUIN_SOURCE_DIR) / fs::path(dir).relative_path();
    std::error_code error;
    for (fs::directory_iterator it(path, error), end; !error && it != end; it.increment(error)) {
      std::ifstream in(it->path(), std::ios::binary);
      std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      sources.push_back(bytes.substr(0, bytes.find('\0')));
      if (sources.size() >= 4000) return sources;
    }
  }
  return sources;
}

// Complete pieces of template that hide delimiters where the guard used to look for them, or
// print untrusted names in the ways an expression can; joined at random they also make broken
// sources, which must stay broken or be fenced.
const std::vector<std::string_view> kGuardPieces = {
    "{{ x }}",
    "{{\fx\f}}",
    "{{ t ~\fx }}",
    "{{ x\f|upper }}",
    "{{- x -}}",
    "{{ {'k': x} }}",
    "{{ {'a': {'b': [x]}} }}",
    "{{ x[1:] }}",
    "{{ '}}' ~ x ~ '{{' }}",
    "{{ (x, t) | join }}",
    "{{ x if t else x|upper }}",
    "{% if t == '{{' %}",
    "{% if t == '}}' %}",
    "{% endif %}",
    "{% set a = \"{{\" %}",
    "{% set a = {'k': '}}'} %}",
    "{% for i in [x, t] %}{{ i }}{% endfor %}",
    "{# {{' #}",
    "{# ' }} #}",
    "{#- {{ x }} -#}",
    "{% raw %}{{ it's }}{% endraw %}",
    "{%- raw %} {{ x }} {% endraw -%}",
    "{% raw %}isn't {{ t }}{% endraw %}",
    "{% macro m(v) %}[{{ v }}]{% endmacro %}{{ m(x) }}",
    "{{ x",
    "}}",
    "{",
    "'",
    " ",
    "\f",
    "\n",
    "text",
};

std::vector<std::string> generated_guard_sources() {
  std::mt19937 rng(20261216);
  std::vector<std::string> sources;
  for (int round = 0; round < 3000; ++round) {
    sources.push_back(testing::random_template(rng, kGuardPieces, 8));
  }
  return sources;
}

bool compiles(const std::string& source) {
  jinja::Environment environment;
  make_strict(environment);
  return compile_kernel_template(environment, source).ok();
}

TEST(Render, GuardRewriteCompilesWheneverTheSourceDoes) {
  std::size_t compiled = 0;
  for (const std::string& source : rewrite_sources()) {
    if (!compiles(source)) continue;
    ++compiled;
    // Every word counts as untrusted, so that as many expressions as possible are rewritten.
    const std::string rewritten = apply_guard_prepass(source, words_of(source));
    EXPECT_TRUE(compiles(rewritten)) << "source:\n" << source << "\nrewritten:\n" << rewritten;
  }
  EXPECT_GT(compiled, 50u);
}

// Renders `source` guarded, every word untrusted, and checks that the rewrite compiles when the
// source does, keeps every literal text (raw blocks included) as it stands, and that no string of
// the context shows outside a fence. Returns whether the guarded render produced text.
bool check_guard_properties(const std::string& source, const json& context) {
  const std::set<std::string> untrusted = words_of(source);
  const std::string rewritten = apply_guard_prepass(source, untrusted);
  if (compiles(source)) {
    EXPECT_TRUE(compiles(rewritten)) << "source:\n" << source << "\nrewritten:\n" << rewritten;
    EXPECT_EQ(testing::literal_texts(rewritten), testing::literal_texts(source))
        << "source:\n"
        << source << "\nrewritten:\n"
        << rewritten;
  }
  if (untrusted.empty() || !testing::fence_check_applies(source)) return false;
  auto guarded = compile_kernel(rewritten, true);
  if (!guarded) return false;
  auto text = guarded->compiled->render(jinja::Value::from_json(context));
  if (!text) return false;
  EXPECT_EQ(testing::outside_fences(*text).find(testing::kLeakMark), std::string::npos)
      << "source:\n"
      << source << "\nrewritten:\n"
      << rewritten << "\ntext:\n"
      << *text;
  return true;
}

TEST(Render, GuardFencesEveryNamedValueAndKeepsLiteralText) {
  std::size_t rendered = 0;
  std::ifstream corpus(VELLOQUIN_SOURCE_DIR "/tests/jinja_conformance/cases.jsonl");
  for (std::string line; std::getline(corpus, line);) {
    if (line.empty()) continue;
    const json row = json::parse(line);
    const std::string source = row.at("template").get<std::string>();
    rendered += check_guard_properties(
        source, testing::with_leak_payload(row.value("context", json::object())));
  }
  EXPECT_GT(rendered, 40u);
  for (const auto& sources : {rewrite_sources(), fuzz_corpus_sources()}) {
    for (const std::string& source : sources) {
      (void)check_guard_properties(source, testing::leak_context(words_of(source)));
    }
  }
  std::size_t generated = 0;
  for (const std::string& source : generated_guard_sources()) {
    json context = testing::leak_context(words_of(source));
    context["t"] = "{{";  // the trusted name compares against a delimiter in the pieces
    generated += check_guard_properties(source, context);
  }
  EXPECT_GT(generated, 500u);
}

}  // namespace
}  // namespace velloquin::core
