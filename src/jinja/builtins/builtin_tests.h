// The builtin tests, one function each (registered by register_builtin_tests).
#pragma once

#include "jinja/runtime/functions.h"

namespace velloquin::jinja::tests {

using TestResult = velloquin::Result<bool, Error>;

TestResult defined(State& state, const Args& args);
TestResult undefined(State& state, const Args& args);
TestResult none(State& state, const Args& args);
TestResult safe(State& state, const Args& args);
TestResult boolean(State& state, const Args& args);
TestResult odd(State& state, const Args& args);
TestResult even(State& state, const Args& args);
TestResult divisibleby(State& state, const Args& args);
TestResult number(State& state, const Args& args);
TestResult integer(State& state, const Args& args);
TestResult float_(State& state, const Args& args);
TestResult string(State& state, const Args& args);
TestResult sequence(State& state, const Args& args);
TestResult iterable(State& state, const Args& args);
TestResult mapping(State& state, const Args& args);
TestResult startingwith(State& state, const Args& args);
TestResult endingwith(State& state, const Args& args);
TestResult lower(State& state, const Args& args);
TestResult upper(State& state, const Args& args);
TestResult sameas(State& state, const Args& args);
TestResult eq(State& state, const Args& args);
TestResult ne(State& state, const Args& args);
TestResult lt(State& state, const Args& args);
TestResult le(State& state, const Args& args);
TestResult gt(State& state, const Args& args);
TestResult ge(State& state, const Args& args);
TestResult in(State& state, const Args& args);
TestResult true_(State& state, const Args& args);
TestResult false_(State& state, const Args& args);
TestResult filter(State& state, const Args& args);
TestResult test(State& state, const Args& args);

}  // namespace velloquin::jinja::tests
