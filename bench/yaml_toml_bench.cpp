// Read throughput of the YAML and TOML definition readers on a definition whose metadata block
// is about 1 MB: nested tables of strings, integers, floats, booleans and lists.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>

#include "definition/toml/toml_reader.h"
#include "definition/yaml/yaml_reader.h"

namespace {

constexpr int kEntries = 6000;

std::string yaml_text() {
  std::string text = "name: bench\nrole: user\nbody: \"Hello {{ name }}\"\n";
  text += "variables:\n  name: {trusted: true, type: string}\nmetadata:\n";
  for (int i = 0; i < kEntries; ++i) {
    const std::string n = std::to_string(i);
    text += "  entry_" + n + ":\n    title: \"Entry number " + n +
            " with a few words of text\"\n    count: " + n + "\n    ratio: " + n +
            ".25\n    enabled: true\n    tags: [alpha, beta, \"gamma " + n + "\"]\n";
  }
  return text;
}

std::string toml_text() {
  std::string text = "name = 'bench'\nrole = 'user'\nbody = 'Hello {{ name }}'\n";
  text += "[variables.name]\ntrusted = true\ntype = 'string'\n";
  for (int i = 0; i < kEntries; ++i) {
    const std::string n = std::to_string(i);
    text += "[metadata.entry_" + n + "]\ntitle = \"Entry number " + n +
            " with a few words of text\"\ncount = " + n + "\nratio = " + n +
            ".25\nenabled = true\ntags = ['alpha', 'beta', \"gamma " + n + "\"]\n";
  }
  return text;
}

template <class Read>
void measure(const char* format, const std::string& text, Read read) {
  constexpr int kRounds = 5;
  double best = 1e30;
  double best_cpu = 1e30;
  for (int round = 0; round < kRounds; ++round) {
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpu_start = std::clock();
    auto result = read(text);
    const std::clock_t cpu_stop = std::clock();
    const auto stop = std::chrono::steady_clock::now();
    if (!result) {
      std::printf("%s: read failed: %s\n", format, result.error().display().c_str());
      return;
    }
    best = std::min(best, std::chrono::duration<double>(stop - start).count());
    // Processor time, which other programs sharing the machine do not inflate.
    best_cpu = std::min(best_cpu, static_cast<double>(cpu_stop - cpu_start) / CLOCKS_PER_SEC);
  }
  const double megabytes = static_cast<double>(text.size()) / 1e6;
  std::printf("%s: %.2f MB in %.1f ms (best of %d) = %.1f MB/s; by processor time %.1f MB/s\n",
              format, megabytes, best * 1e3, kRounds, megabytes / best, megabytes / best_cpu);
}

}  // namespace

int main() {
  measure("YAML", yaml_text(),
          [](const std::string& text) { return velloquin::core::read_definition_from_yaml(text); });
  measure("TOML", toml_text(),
          [](const std::string& text) { return velloquin::core::read_definition_from_toml(text); });
  return 0;
}
