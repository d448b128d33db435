// Compile and render time of the template engine on a typical prompt.
//
// The kernel builds a fresh environment and compiles its template on every render, so both
// halves count. The template is about 2 KB of prose with a loop over 50 items and a dozen
// expressions (attribute lookups, loop counters, conditions, concatenation, arithmetic).
// Figures are best-of-five runs, per call, by wall clock and by processor time.
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "bench_prompt.h"
#include "bench_timing.h"
#include "jinja/environment.h"
#include "jinja/template.h"

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

}  // namespace

int main() {
  const std::string source = velloquin::bench::typical_prompt_template();
  const jinja::Value context = jinja::Value::from_json(prompt_context());

  jinja::Environment env;
  env.set_undefined_behavior(jinja::UndefinedBehavior::Strict);
  if (auto added = env.add_template("kernel", source); !added.ok()) {
    std::fprintf(stderr, "compile failed: %s\n", added.error().display().c_str());
    return 1;
  }
  const jinja::Template* tmpl = *env.get_template("kernel");
  auto first = tmpl->render(context);
  if (!first.ok()) {
    std::fprintf(stderr, "render failed: %s\n", first.error().display().c_str());
    return 1;
  }

  std::size_t sink = 0;
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
  std::printf("template %zu bytes, output %zu bytes, 50 loop items\n", source.size(),
              first->size());
  std::printf("                                          wall ns   processor ns\n");
  std::printf("compile (fresh environment + template): %8.0f %12.0f\n", compile.wall_ns,
              compile.cpu_ns);
  std::printf("render:                                  %8.0f %12.0f\n", render.wall_ns,
              render.cpu_ns);
  std::printf("compile + render:                        %8.0f %12.0f\n", both.wall_ns, both.cpu_ns);
  return sink == 0 ? 1 : 0;
}
