// The typical prompt the engine and kernel benchmarks render: about 2 KB of prose with a loop
// over 50 items and a dozen expressions (attribute lookups, loop counters, conditions,
// concatenation, arithmetic).
#pragma once

#include <string>

namespace velloquin::bench {

inline std::string typical_prompt_template() {
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

}  // namespace velloquin::bench
