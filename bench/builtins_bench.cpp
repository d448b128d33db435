// Compile and render time of a prompt template that leans on the common builtin filters.
//
// Same shape as the engine benchmark (a ~2 KB prompt, a loop over 50 items, a fresh environment
// per call), but every expression goes through filters: join, map, selectattr, default, upper,
// trim, replace, length, tojson, indent, first, sort. Figures are best-of-five runs, per call,
// in processor time of this thread: the machine is shared, and wall-clock time would mostly
// measure the other processes.
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "bench_timing.h"
#include "jinja/runtime/environment.h"
#include "jinja/runtime/template.h"

namespace {

namespace jinja = velloquin::jinja;

// Processor time of this thread per call: wall-clock time would mostly measure the others.
template <class Body>
double best_ns_per_call(int iterations, Body&& body) {
  return velloquin::bench::best_per_call(iterations, body).cpu_ns;
}

std::string prompt_template() {
  const std::string prose =
      "You are a careful assistant. Answer the question below using only the context given, and "
      "say so plainly when the context does not contain the answer. Keep the tone friendly. ";
  std::string source;
  source += "{# support desk prompt, filter-heavy #}\n";
  source += prose + "Customer: {{ customer.name|upper }} ({{ customer.tier|default('basic') }})\n";
  source += "Question: {{ question|trim|replace('password', 'passphrase') }}\n";
  source += "Tags: {{ tags|sort|join(', ') }} ({{ tags|length }})\n";
  source += "Relevant: {{ documents|selectattr('relevant')|map(attribute='title')|join('; ') }}\n";
  source += "First: {{ (documents|first).title }}\n";
  source += "{% for doc in documents %}{{ loop.index }}. {{ doc.title|upper }}: ";
  source += "{{ doc.body|trim|replace('text', 'prose') }}{{ doc.note|default('') }}\n{% endfor %}";
  source += prose + "Settings:\n  {{ settings|tojson|indent(2) }}\n";
  source += prose + "Sorted titles: {{ documents|map(attribute='title')|sort|first }}\n";
  while (source.size() < 2048) source += prose;
  return source;
}

nlohmann::json prompt_context() {
  nlohmann::json docs = nlohmann::json::array();
  for (int i = 0; i < 50; ++i) {
    docs.push_back({{"title", "Document " + std::to_string(i)},
                    {"body", "  A short body of text for document " + std::to_string(i) + ".  "},
                    {"relevant", i % 7 == 0}});
  }
  return {{"customer", {{"name", "Ada"}, {"tier", "gold"}}},
          {"question", "  How do I reset my password?  "},
          {"tags", {"billing", "Account", "security", "login"}},
          {"documents", docs},
          {"settings", {{"language", "en-GB"}, {"max_tokens", 512}, {"tools", {"search", "kb"}}}}};
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
  const double compile_ns = best_ns_per_call(20000, [&] {
    jinja::Environment fresh;
    fresh.set_undefined_behavior(jinja::UndefinedBehavior::Strict);
    auto added = fresh.add_template("kernel", source);
    sink += added.ok() ? 1 : 0;
  });
  const double render_ns = best_ns_per_call(20000, [&] {
    auto out = tmpl->render(context);
    sink += out.ok() ? out->size() : 0;
  });
  const double both_ns = best_ns_per_call(20000, [&] {
    jinja::Environment fresh;
    fresh.set_undefined_behavior(jinja::UndefinedBehavior::Strict);
    (void)fresh.add_template("kernel", source);
    auto out = (*fresh.get_template("kernel"))->render(context);
    sink += out.ok() ? out->size() : 0;
  });
  std::printf("template %zu bytes, output %zu bytes, 50 loop items, 12 kinds of filter\n",
              source.size(), first->size());
  std::printf("compile (fresh environment + template): %8.0f ns\n", compile_ns);
  std::printf("render:                                  %8.0f ns\n", render_ns);
  std::printf("compile + render:                        %8.0f ns\n", both_ns);
  return sink == 0 ? 1 : 0;
}
