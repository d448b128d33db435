// The prompt library: load and construct a typical YAML prompt, and derive from it under each
// strategy. Construction compiles every template once for the agreement analysis.
#include <cstdio>
#include <string>

#include "bench_timing.h"
#include "library/prompt.h"

namespace {

// About 2 KB of YAML: 5 variables, 3 variants, metadata.
std::string typical_yaml() {
  std::string text = R"(name: support-answer
role: system
output_model: app.models.Answer
metadata:
  owner: support-team
  revision: 12
  tags: [support, answers, public]
  reviewers: [alice, bob, carol]
  changelog:
    - "12: tightened the brief variant to one sentence"
    - "11: added the translated variant for non-English locales"
    - "10: documents are listed with their index"
variables:
  customer:
    type: object
    trusted: false
    description: The customer record, as fetched from the CRM.
  question:
    type: string
    trusted: false
    validation_required: true
    description: The question exactly as the customer typed it.
  documents:
    type: array
    trusted: false
    description: Knowledge-base articles retrieved for the question.
  locale:
    type: [string, "null"]
    trusted: true
  agent_name:
    type: string
    trusted: true
body: |
  You are a careful support assistant. Answer using only the documents below, and say so
  plainly when they do not contain the answer. Keep the tone friendly and the answer short.
  Customer: {{ customer.name | title }} ({{ customer.tier | upper }})
  Question: {{ question | trim }}
  {% for doc in documents %}- {{ loop.index }}. {{ doc.title }}: {{ doc.body }}
  {% endfor %}Locale: {{ locale | default('en') }}
  Signed: {{ agent_name }}
variants:
  brief:
    body: |
      Answer in one sentence. Customer {{ customer.name }} asks: {{ question }}
      {% for doc in documents %}{{ doc.title }}; {% endfor %}
    metadata: {max_tokens: 60}
  formal:
    body: |
      Dear {{ customer.name | title }}, thank you for your question regarding "{{ question }}".
      {% for doc in documents if doc.title %}See: {{ doc.title }}.
      {% endfor %}Kind regards, {{ agent_name }}
    metadata: {tone: formal}
  translated:
    body: |
      Reply in {{ locale | default('English') }}. Question: {{ question }}
      {% set n = documents | length %}{{ n }} documents were found for {{ customer.name }}.
)";
  return text;
}

}  // namespace

int main() {
  using namespace velloquin;
  const std::string yaml = typical_yaml();
  auto loaded = Prompt::from_yaml(yaml);
  if (!loaded) {
    std::fprintf(stderr, "typical prompt does not load\n");
    return 1;
  }
  const Prompt prompt = std::move(loaded).value();
  std::size_t sink = 0;

  const double load_ns = bench::best_ns_per_call(2000, [&] {
    auto p = Prompt::from_yaml(yaml);
    sink += p.ok();
  });
  std::printf("Prompt::from_yaml, %zu-byte YAML, 5 variables, 3 variants: %.1f us/call\n",
              yaml.size(), load_ns / 1e3);

  auto overlay = [] {
    PromptOverlay o;
    o.variants = core::PromptVariants{{"brief", {"Shorter: {{ question }}", {}}},
                                      {"casual", {"Hey {{ customer.name }}!", {}}}};
    o.metadata = core::JsonObject{{"revision", 13}, {"guard", true}};
    o.output_model = ClearOutputModel{};
    return o;
  };
  for (MergeStrategy strategy : {MergeStrategy::Replace, MergeStrategy::Merge}) {
    if (!prompt.derive_with(overlay(), strategy)) {
      std::fprintf(stderr, "derivation fails\n");
      return 1;
    }
    const double ns = bench::best_ns_per_call(2000, [&] {
      auto derived = prompt.derive_with(overlay(), strategy);
      sink += derived.ok();
    });
    std::printf("Prompt::derive_with (variants, metadata, output model), %s: %.1f us/call\n",
                strategy == MergeStrategy::Merge ? "MERGE  " : "REPLACE", ns / 1e3);
  }
  return sink == 0;
}
