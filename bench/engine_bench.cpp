// Compile and render time of the template engine on a typical prompt.
//
// The kernel builds a fresh environment and compiles its template on every render, so both
// halves count. The template is about 2 KB of prose with a loop over 50 items and a dozen
// expressions (attribute lookups, loop counters, conditions, concatenation, arithmetic).
// Figures are best-of-five wall-clock runs, per call.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>
#include <string>

#include "jinja/environment.h"
#include "jinja/template.h"

namespace {

namespace jinja = velloquin::jinja;
using Clock = std::chrono::steady_clock;

struct Timing {
  double wall_ns;
  double cpu_ns;
};

double cpu_now_ns() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e9 + static_cast<double>(ts.tv_nsec);
}

// Best of five runs, per call, by wall clock and by processor time (the machine is shared, so
// processor time is the steadier figure).
template <class Body>
Timing best_per_call(int iterations, Body&& body) {
  Timing best{1e300, 1e300};
  for (int run = 0; run < 5; ++run) {
    const auto start = Clock::now();
    const double cpu_start = cpu_now_ns();
    for (int i = 0; i < iterations; ++i) body();
    const double cpu = (cpu_now_ns() - cpu_start) / iterations;
    const std::chrono::duration<double, std::nano> elapsed = Clock::now() - start;
    best.wall_ns = std::min(best.wall_ns, elapsed.count() / iterations);
    best.cpu_ns = std::min(best.cpu_ns, cpu);
  }
  return best;
}

std::string prompt_template() {
  const std::string prose =
      "You are a careful assistant. Answer the question below using only the context given, and "
      "say so plainly when the context does not contain the answer. Keep the tone friendly. ";
  std::string source;
  source += "{# support desk prompt #}\n";
  source += prose + "Customer: {{ customer.name }} ({{ customer.tier }})\n";
  source += "Question: {{ question }}\n";
  source += "{% for doc in documents %}{{ loop.index }}. {{ doc.title }}";
  source += "{% if doc.score > 0.5 %} (relevant){% endif %}: {{ doc.body }}\n{% endfor %}";
  source += prose + "Locale: {{ locale ~ '/' ~ region }}; {{ documents[0].title }}\n";
  source += "{% set total = count * 2 + 1 %}Total: {{ total }}{{ ' more' if more else '' }}\n";
  source += prose + "Signature: {{ agent.name }} -{{- ' ' ~ agent.team }}\n";
  while (source.size() < 2048) source += prose;
  return source;
}

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
  const std::string source = prompt_template();
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
