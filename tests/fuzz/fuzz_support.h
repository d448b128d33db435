// What every fuzz target checks beyond "no crash": a loaded prompt survives being written out
// and read back, and a failure has the one shape its layer promises.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>

#include "definition/definition_writer.h"
#include "definition/json/json_text_reader.h"
#include "library/prompt.h"

namespace velloquin::fuzz {

// libFuzzer keeps the input that got here as the crash reproducer.
[[noreturn]] inline void fail(std::string_view what, std::string_view detail) {
  std::fprintf(stderr, "fuzz property violated: %.*s\n%.*s\n", static_cast<int>(what.size()),
               what.data(), static_cast<int>(detail.size()), detail.data());
  std::abort();
}

inline std::string_view as_text(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// A loader reports either one load message or one construction row; a prompt it accepted
// writes out as JSON that reads back to the same definition and passes the advisory check
// without failing.
inline void check_loaded(const Result<Prompt, ConsumerError>& loaded) {
  if (!loaded) {
    const auto& payload = loaded.error().payload();
    if (const auto* load = std::get_if<ConsumerError::Load>(&payload)) {
      if (load->message.empty()) fail("empty load message", "");
      return;
    }
    const auto* render = std::get_if<ConsumerError::Render>(&payload);
    if (render == nullptr) fail("loader failed with a validation error", "");
    if (render->rows.size() != 1) fail("construction failure without exactly one row", "");
    return;
  }
  const core::PromptDefinition& definition = loaded->definition();
  const std::string written = core::to_json(definition).dump();
  auto reread = core::read_definition_from_json_text(written);
  if (!reread) fail("written definition does not read back", reread.error().display());
  if (!(*reread == definition)) fail("written definition reads back different", written);
  (void)loaded->check();
}

}  // namespace velloquin::fuzz
