// Arbitrary bytes through the JSON text loader. Besides the shared checks: whatever the loader
// accepts is JSON to an independent parser too.
#include <cstddef>
#include <cstdint>

#include <nlohmann/json.hpp>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = velloquin::fuzz::as_text(data, size);
  auto loaded = velloquin::Prompt::from_json(text);
  if (loaded) {
    auto independent = nlohmann::json::parse(text, nullptr, false);
    if (independent.is_discarded()) velloquin::fuzz::fail("accepted text that is not JSON", text);
  }
  velloquin::fuzz::check_loaded(loaded);
  return 0;
}
