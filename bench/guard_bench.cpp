// Throughput of the guard rewrite and of provenance hashing.
//
// The rewrite runs once per guarded render over the arm source; both hashes run on every render.
// Figures are best-of-five wall-clock runs, printed per call and per byte.
#include <cstdio>
#include <set>
#include <string>

#include "bench_timing.h"
#include "core/guard/guard.h"
#include "core/hashing.h"

namespace {

using velloquin::bench::best_ns_per_call;

// A prompt of about 2 KB: prose with a dozen output expressions, half of them untrusted, plus a
// loop and a comment the rewrite has to pass over.
std::string typical_template() {
  const std::string prose =
      "You are a careful assistant. Answer the question below using only the context given, and "
      "say so plainly when the context does not contain the answer. Keep the tone friendly. ";
  std::string source;
  source += "{# system prompt for the support desk #}\n";
  source += prose + "Customer: {{ customer.name | title }} ({{ customer.tier }})\n";
  source += prose + "Question: {{ question }}\n";
  source += prose + "{% for doc in documents %}- {{ doc.title }}: {{ doc.body | truncate(200) }}\n";
  source += "{% endfor %}Locale: {{ locale }}; today is {{ today }}.\n";
  source += prose + "Previous answer: {{- previous_answer -}}\n";
  source += "Notes: {{ notes | default('none') }} / {{ 'Ticket #' ~ ticket_id }}\n";
  source += prose + "Signature: {{ agent_name }} {{ '}}' ~ footer }}\n";
  while (source.size() < 2048) source += prose;
  return source;
}

}  // namespace

int main() {
  using velloquin::core::apply_guard_prepass;
  using velloquin::core::sha256_hex;

  const std::set<std::string> untrusted = {"customer",        "question", "notes",
                                           "previous_answer", "footer",   "doc"};
  const std::string source = typical_template();
  std::size_t sink = 0;

  const double prepass_ns =
      best_ns_per_call(20000, [&] { sink += apply_guard_prepass(source, untrusted).size(); });
  std::printf("apply_guard_prepass, %zu-byte template, 12 expressions: %.0f ns/call (%.0f MB/s)\n",
              source.size(), prepass_ns, source.size() / prepass_ns * 1e3);

  // Every "{{" opens a literal that never closes: a naive rescan from each opening is quadratic.
  std::string hostile;
  while (hostile.size() < 300'000) hostile += "{{'x ";
  const double hostile_ns =
      best_ns_per_call(5, [&] { sink += apply_guard_prepass(hostile, untrusted).size(); });
  std::printf("apply_guard_prepass, %zu bytes of unterminated \"{{'\": %.2f ms/call (%.0f MB/s)\n",
              hostile.size(), hostile_ns / 1e6, hostile.size() / hostile_ns * 1e3);

  const std::string megabyte(1 << 20, 'a');
  const double hash_ns = best_ns_per_call(200, [&] { sink += sha256_hex(megabyte).size(); });
  std::printf("sha256_hex, 1 MiB: %.0f us/call (%.2f GB/s)\n", hash_ns / 1e3,
              megabyte.size() / hash_ns);

  const double small_hash_ns = best_ns_per_call(200000, [&] { sink += sha256_hex(source).size(); });
  std::printf("sha256_hex, %zu-byte template: %.0f ns/call\n", source.size(), small_hash_ns);

  return sink == 0;  // keeps the work observable
}
