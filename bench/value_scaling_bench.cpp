// How the cost of a render grows with the size of the values, for a fixed template.
//
// A template is the prompt author's code; the values are data from anyone. Each line below
// renders one fixed template through the kernel (guard on, every value untrusted) with values
// of growing size, and prints the time per input byte. Linear growth shows as a flat column;
// the last column is the growth of the time for 16 times the data (16 for linear work, about
// 20 for n log n sorting, 256 for quadratic).
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "bench_timing.h"
#include "core/render.h"
#include "definition/json/json_text_reader.h"
#include "jinja/value/value.h"

namespace {

namespace core = velloquin::core;
namespace jinja = velloquin::jinja;

// Fixed templates: each reaches the values through a different part of the engine.
constexpr std::string_view kTemplates[] = {
    "{{ text }}",
    "{{ text | upper }}{{ text | lower }}{{ text | title }}",
    "{{ text | replace('a', '<b>') | length }}",
    "{{ text | split | length }}{{ text | wordcount }}",
    "{{ text | indent(4) | length }}{{ text | trim | length }}",
    "{{ text | truncate(100) }}{{ text | center(80) | length }}",
    "{{ text | escape | length }}{{ text | urlencode | length }}",
    "{{ text | striptags | length }}",
    "{{ text | tojson | length }}{{ text | reverse | length }}",
    "{{ text[::3] | length }}{{ 'zz<z' in text }}{{ text | list | length }}",
    "{{ items | join(', ') | length }}",
    "{% for item in items %}{{ loop.index }}{{ item | capitalize }};{% endfor %}",
    "{{ items | map('upper') | join | length }}{{ items | select('string') | list | length }}",
    "{{ items | unique | list | length }}",
    "{{ items | sort | first }}{{ items | max }}",
    "{{ items | batch(3) | list | length }}{{ items | reverse | list | length }}",
    "{{ items }}{{ items | pprint | length }}",
    "{{ table | dictsort | length }}{{ table | items | list | length }}",
    "{% for key, value in table | items %}{{ key }}={{ value }}{% endfor %}",
    "{{ table | tojson | length }}{{ table }}",
};

// Unicode, markup and spaces mixed in, so escaping, case mapping and splitting all have work.
constexpr std::string_view kPiece = "Ab <c> & d\xC3\xA9 e\"f ";

struct Values {
  jinja::Value context;
  std::size_t bytes = 0;
};

Values values_of_size(std::size_t bytes) {
  std::string text;
  while (text.size() < bytes) text += kPiece;
  nlohmann::json items = nlohmann::json::array();
  nlohmann::json table = nlohmann::json::object();
  for (std::size_t i = 0; i * 16 < bytes; ++i) {
    const std::string item = "w" + std::to_string((i * 7919) % 100003) + "<&>";
    items.push_back(item);
    table["k" + std::to_string(i)] = item;
  }
  const nlohmann::json context = {{"text", text}, {"items", items}, {"table", table}};
  return {jinja::Value::from_json(context), text.size()};
}

core::PromptDefinition definition_for(std::string_view body) {
  nlohmann::json doc = {{"body", body}, {"name", "scaling"}, {"role", "user"}};
  doc["variables"] = {{"text", {{"trusted", false}, {"type", "string"}}},
                      {"items", {{"trusted", false}, {"type", "array"}}},
                      {"table", {{"trusted", false}, {"type", "object"}}}};
  return std::move(core::read_definition_from_json_text(doc.dump())).value();
}

}  // namespace

int main() {
  const std::vector<std::size_t> sizes = {4096, 16384, 65536, 262144};
  std::vector<Values> values;
  for (std::size_t size : sizes) values.push_back(values_of_size(size));
  const core::GuardConfig guard{std::nullopt, true};

  std::printf("template (ns per input byte at 4K, 16K, 64K, 256K; time growth for 16x the data)\n");
  std::size_t sink = 0;
  for (std::string_view body : kTemplates) {
    const core::PromptDefinition definition = definition_for(body);
    auto probe = core::render(definition, std::nullopt, values.front().context, guard);
    if (!probe) {
      std::printf("%-58.58s fails: %s\n", std::string(body).c_str(), probe.error().text.c_str());
      continue;
    }
    std::vector<double> per_call;
    for (const Values& v : values) {
      const int iterations = v.bytes < 20000 ? 20 : v.bytes < 100000 ? 5 : 2;
      per_call.push_back(velloquin::bench::best_ns_per_call(iterations, [&] {
        auto rendered = core::render(definition, std::nullopt, v.context, guard);
        sink += rendered ? rendered->text.size() : 1;
      }));
    }
    std::printf("%-58.58s", std::string(body).c_str());
    for (std::size_t i = 0; i < values.size(); ++i)
      std::printf(" %6.1f", per_call[i] / static_cast<double>(values[i].bytes));
    std::printf("  x%.0f\n", per_call.back() / per_call[1]);
  }
  std::printf("(checksum %zu)\n", sink);
  return 0;
}
