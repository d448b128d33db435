// Compile and render time of the template engine on a typical prompt.
//
// The kernel builds a fresh environment and compiles its template on every render, so both
// halves count. The template is about 2 KB of prose with a loop over 50 items and a dozen
// expressions (attribute lookups, loop counters, conditions, concatenation, arithmetic).
// A second template has the shape of a chat prompt: filters on most expressions (upper, trim,
// join, default, tojson), two loops over records and string slices; only its render is timed,
// as a compiled template is reused across calls.
// Figures are best-of-five runs, per call, by wall clock and by processor time.
// `bench_engine_bench chat` times the chat prompt only (handy under a profiler).
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>

#include "bench_prompt.h"
#include "bench_timing.h"
#include "jinja/runtime/environment.h"
#include "jinja/runtime/template.h"

namespace {

namespace jinja = velloquin::jinja;
using velloquin::bench::best_per_call;
using velloquin::bench::Timing;

nlohmann::json prompt_context() {
  nlohmann::json docs = nlohmann::json::array();
  for (int i = 0; i < 50; ++i) {
    docs.push_back({{"title", "Document " + std::to_string(i)},
                    {"body", "A short body of text for document " + std::to_string(i) + "."},
                    {"score", (i % 10) / 10.0}});
  }
  return {{"customer", {{"name", "Ada"}, {"tier", "gold"}}},
          {"question", "How do I reset my password?"},
          {"documents", docs},
          {"locale", "en"},
          {"region", "GB"},
          {"count", 20},
          {"more", true},
          {"agent", {{"name", "Sam"}, {"team", "support"}}}};
}

// The chat prompt: a system line, a few settings, 20 worked examples and 10 documents.
const char* const kChatTemplate =
    R"(You are {{ assistant_name | upper }}, the assistant of {{ company }}.
{% if user_tier == "premium" %}The user is a premium customer: answer in depth.{% else %}Keep answers short.{% endif %}
Tone: {{ tone | default("neutral") }}. Topics: {{ tags | join(", ") }}.
Profile: {{ profile | tojson }}

Examples:
{% for ex in examples %}Q{{ loop.index }}: {{ ex.question | trim }}
A{{ loop.index }}: {{ ex.answer }} [{{ ex.tags | join("/") }}]
{% endfor %}
Documents:
{% for doc in documents[:10] %}[{{ loop.index }}] {{ doc.title | upper }}: {{ doc.text[:150] }}
{% endfor %}
Question: {{ question | trim }}
)";

nlohmann::json chat_context() {
  nlohmann::json examples = nlohmann::json::array();
  for (int i = 0; i < 20; ++i) {
    const std::string n = std::to_string(i);
    examples.push_back(
        {{"question", "   How do I change the billing address on invoice number " + n + "?   "},
         {"answer",
          "Open Settings, then Billing, edit the address and save; invoice " + n + " is reissued."},
         {"tags", {"billing", "invoices"}}});
  }
  nlohmann::json documents = nlohmann::json::array();
  for (int i = 0; i < 12; ++i) {
    std::string text = "Section " + std::to_string(i) + ". ";
    while (text.size() < 230) text += "Accounts keep one billing address per company profile. ";
    text.resize(230);
    documents.push_back({{"title", "Billing guide part " + std::to_string(i)}, {"text", text}});
  }
  return {{"assistant_name", "Vello"},
          {"company", "Example Corp"},
          {"user_tier", "premium"},
          {"tone", "friendly"},
          {"tags", {"billing", "accounts", "invoices", "payments"}},
          {"profile", {{"id", 4217}, {"name", "Ada Lovelace"}, {"plan", "enterprise"}}},
          {"examples", examples},
          {"documents", documents},
          {"question", "  Why was I charged twice this month?  "}};
}

// Compiles `source` into the strict `env` and renders it once, so a benchmark never times a
// failure; nullptr (reported on stderr) when either step fails.
const jinja::Template* compile_and_check(jinja::Environment& env, const std::string& name,
                                         const std::string& source, const jinja::Value& context,
                                         std::string& first) {
  env.set_undefined_behavior(jinja::UndefinedBehavior::Strict);
  if (auto added = env.add_template(name, source); !added.ok()) {
    std::fprintf(stderr, "compile failed: %s\n", added.error().display().c_str());
    return nullptr;
  }
  const jinja::Template* tmpl = *env.get_template(name);
  auto rendered = tmpl->render(context);
  if (!rendered.ok()) {
    std::fprintf(stderr, "render failed: %s\n", rendered.error().display().c_str());
    return nullptr;
  }
  first = std::move(rendered).value();
  return tmpl;
}

int typical_prompt(std::size_t& sink) {
  const std::string source = velloquin::bench::typical_prompt_template();
  const jinja::Value context = jinja::Value::from_json(prompt_context());

  jinja::Environment env;
  std::string first;
  const jinja::Template* tmpl = compile_and_check(env, "kernel", source, context, first);
  if (tmpl == nullptr) return 1;

  const Timing compile = best_per_call(20000, [&] {
    jinja::Environment fresh;
    fresh.set_undefined_behavior(jinja::UndefinedBehavior::Strict);
    auto added = fresh.add_template("kernel", source);
    sink += added.ok() ? 1 : 0;
  });
  const Timing render = best_per_call(20000, [&] {
    auto out = tmpl->render(context);
    sink += out.ok() ? out->size() : 0;
  });
  const Timing both = best_per_call(20000, [&] {
    jinja::Environment fresh;
    fresh.set_undefined_behavior(jinja::UndefinedBehavior::Strict);
    (void)fresh.add_template("kernel", source);
    auto out = (*fresh.get_template("kernel"))->render(context);
    sink += out.ok() ? out->size() : 0;
  });
  std::printf("template %zu bytes, output %zu bytes, 50 loop items\n", source.size(), first.size());
  std::printf("                                          wall ns   processor ns\n");
  std::printf("compile (fresh environment + template): %8.0f %12.0f\n", compile.wall_ns,
              compile.cpu_ns);
  std::printf("render:                                  %8.0f %12.0f\n", render.wall_ns,
              render.cpu_ns);
  std::printf("compile + render:                        %8.0f %12.0f\n", both.wall_ns, both.cpu_ns);
  return 0;
}

int chat_prompt(std::size_t& sink) {
  const jinja::Value context = jinja::Value::from_json(chat_context());
  jinja::Environment env;
  std::string first;
  const jinja::Template* tmpl = compile_and_check(env, "chat", kChatTemplate, context, first);
  if (tmpl == nullptr) return 1;
  const Timing render = best_per_call(10000, [&] {
    auto out = tmpl->render(context);
    sink += out.ok() ? out->size() : 0;
  });
  std::printf("chat prompt, output %zu bytes, loops over 20 and 10 records\n", first.size());
  std::printf("render:                                  %8.0f %12.0f\n", render.wall_ns,
              render.cpu_ns);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const bool chat_only = argc > 1 && std::strcmp(argv[1], "chat") == 0;
  std::size_t sink = 0;
  if (!chat_only && typical_prompt(sink) != 0) return 1;
  if (chat_prompt(sink) != 0) return 1;
  return sink == 0 ? 1 : 0;
}
