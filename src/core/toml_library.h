// toml++, configured the same way for every file that includes it: parse failures come back as
// values (no exceptions), and the TOML 1.1 features are on.
#pragma once

#ifndef TOML_EXCEPTIONS
#define TOML_EXCEPTIONS 0
#endif
#if TOML_EXCEPTIONS
#error "the TOML reader expects toml++ without exceptions"
#endif

#include <toml++/toml.h>
