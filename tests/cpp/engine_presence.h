// Tests that need the template engine skip themselves until it is part of the build.
#pragma once

#include <gtest/gtest.h>

#if __has_include("jinja/environment.h")
#define VELLOQUIN_REQUIRE_ENGINE() (void)0
#else
#define VELLOQUIN_REQUIRE_ENGINE() GTEST_SKIP() << "the template engine is not in this build yet"
#endif
