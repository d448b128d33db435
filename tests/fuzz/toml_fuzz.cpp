// Arbitrary bytes through the TOML loader.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  velloquin::fuzz::check_loaded(velloquin::Prompt::from_toml(velloquin::fuzz::as_text(data, size)));
  return 0;
}
