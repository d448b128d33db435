// Tests that lean on the engine's builtin filters and globals skip themselves until those are
// registered in the build.
#pragma once

#include <gtest/gtest.h>

#include "jinja/environment.h"
#include "jinja/template.h"

namespace velloquin::testing {

inline bool builtins_registered() {
  jinja::Environment environment;
  if (!environment.add_template("probe", "{{ ' a ' | trim | upper }}{{ range(1) | join }}")) {
    return false;
  }
  auto probe = environment.get_template("probe");
  return probe.ok() && (*probe)->render(jinja::Value::none()).ok() &&
         !environment.global_names().empty();
}

}  // namespace velloquin::testing

#define VELLOQUIN_REQUIRE_BUILTINS()                \
  if (!::velloquin::testing::builtins_registered()) \
  GTEST_SKIP() << "the engine's builtin filters and globals are not in this build yet"
