// The tables of builtin filters, tests and globals, shared by every environment.
#include <algorithm>
#include <array>
#include <string>

#include "jinja/builtins/builtin_filters.h"
#include "jinja/builtins/builtin_globals.h"
#include "jinja/builtins/builtin_tests.h"
#include "jinja/runtime/functions.h"

namespace velloquin::jinja {

namespace {

template <class Entry, std::size_t N>
std::array<Entry, N> sorted(std::array<Entry, N> entries) {
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return a.first < b.first; });
  return entries;
}

// A global function as a value: callable, printed by name.
class BuiltinFunction : public Object {
 public:
  using Fn = ValueResult (*)(State&, const Args&);
  BuiltinFunction(std::string_view name, Fn fn) : name_(name), fn_(fn) {}
  ValueResult call(State& state, const Args& args) const override { return fn_(state, args); }
  void display(std::string& out) const override {
    out += "velloquin::jinja::globals::";
    out += name_;
  }

 private:
  std::string_view name_;
  Fn fn_;
};

Value function_value(std::string_view name, BuiltinFunction::Fn fn) {
  return Value::object(std::make_shared<BuiltinFunction>(name, fn));
}

}  // namespace

void register_builtin_filters(FilterTable& table) {
  using E = FilterTable::Entry;
  namespace f = filters;
  static const auto entries = sorted(std::array<E, 49>{{
      {"abs", f::abs},
      {"attr", f::attr},
      {"batch", f::batch},
      {"bool", f::bool_},
      {"capitalize", f::capitalize},
      {"chain", f::chain},
      {"count", f::length},
      {"d", f::default_},
      {"default", f::default_},
      {"dictsort", f::dictsort},
      {"e", f::escape},
      {"escape", f::escape},
      {"first", f::first},
      {"float", f::float_},
      {"format", f::format},
      {"groupby", f::groupby},
      {"indent", f::indent},
      {"int", f::int_},
      {"items", f::items},
      {"join", f::join},
      {"last", f::last},
      {"length", f::length},
      {"lines", f::lines},
      {"list", f::list},
      {"lower", f::lower},
      {"map", f::map},
      {"max", f::max},
      {"min", f::min},
      {"pprint", f::pprint},
      {"reject", f::reject},
      {"rejectattr", f::rejectattr},
      {"replace", f::replace},
      {"reverse", f::reverse},
      {"round", f::round},
      {"safe", f::safe},
      {"select", f::select},
      {"selectattr", f::selectattr},
      {"slice", f::slice},
      {"sort", f::sort},
      {"split", f::split},
      {"string", f::string},
      {"sum", f::sum},
      {"title", f::title},
      {"tojson", f::tojson},
      {"trim", f::trim},
      {"unique", f::unique},
      {"upper", f::upper},
      {"urlencode", f::urlencode},
      {"zip", f::zip},
  }});
  table.set_builtins(entries);
}

void register_builtin_tests(TestTable& table) {
  using E = TestTable::Entry;
  namespace t = tests;
  static const auto entries = sorted(std::array<E, 42>{{
      {"!=", t::ne},
      {"<", t::lt},
      {"<=", t::le},
      {"==", t::eq},
      {">", t::gt},
      {">=", t::ge},
      {"boolean", t::boolean},
      {"defined", t::defined},
      {"divisibleby", t::divisibleby},
      {"endingwith", t::endingwith},
      {"eq", t::eq},
      {"equalto", t::eq},
      {"escaped", t::safe},
      {"even", t::even},
      {"false", t::false_},
      {"filter", t::filter},
      {"float", t::float_},
      {"ge", t::ge},
      {"greaterthan", t::gt},
      {"gt", t::gt},
      {"in", t::in},
      {"int", t::integer},
      {"integer", t::integer},
      {"iterable", t::iterable},
      {"le", t::le},
      {"lessthan", t::lt},
      {"lower", t::lower},
      {"lt", t::lt},
      {"mapping", t::mapping},
      {"ne", t::ne},
      {"none", t::none},
      {"number", t::number},
      {"odd", t::odd},
      {"safe", t::safe},
      {"sameas", t::sameas},
      {"sequence", t::sequence},
      {"startingwith", t::startingwith},
      {"string", t::string},
      {"test", t::test},
      {"true", t::true_},
      {"undefined", t::undefined},
      {"upper", t::upper},
  }});
  table.set_builtins(entries);
}

void register_builtin_globals(GlobalTable& table) {
  using E = GlobalTable::Entry;
  static const auto entries = sorted(std::array<E, 4>{{
      {"debug", function_value("debug", globals::debug)},
      {"dict", function_value("dict", globals::dict)},
      {"namespace", function_value("namespace", globals::namespace_)},
      {"range", function_value("range", globals::range)},
  }});
  table.set_builtins(entries);
}

}  // namespace velloquin::jinja
