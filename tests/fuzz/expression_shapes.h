// Templates built from a stream of choices: operators, tests and filters applied to the results
// of other filters, over a value of every kind the engine has. A fault that needs one filter's
// unusual result to reach an operation that reads it (an iterator that cannot be iterated, fed
// to `+`) is rarely met by mutating the bytes of existing templates; these shapes make such
// pairs the common case. Shared by the engine fuzz target and the engine's robustness test.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace velloquin::fuzz {

// The context the generated templates render with: a root of every kind data can have.
inline constexpr std::string_view kShapeContext =
    R"({"x": [1, [2, "a"], {"k": null}], "s": "ab", "n": 3, "f": 1.5, "z": null, "t": true,)"
    R"( "e": [], "m": {"a": 1, "b": [2, 3]}, "users": [{"a": 1, "b": "x"}, {"a": 2}]})";

// Leaves: literals, context roots and the results of filters and calls that make the rarer
// kinds (iterators sized and unsized, ranges, namespaces, safe strings, callables, undefined).
inline constexpr std::array<std::string_view, 40> kShapeValues = {
    "none",
    "true",
    "false",
    "0",
    "-3",
    "2.5",
    "-0.0",
    "1e308",
    "'ab'",
    "''",
    "'é'",
    "'<a>'|safe",
    "[1, 'a', none]",
    "[]",
    "[[1, 2], [3]]",
    "(1,)",
    "{'a': 1, 'b': [2]}",
    "{}",
    "range(3)",
    "range(0)",
    "[3, 1]|reverse",
    "{'a': 1}|items",
    "[1]|chain('ab')",
    "3|chain",
    "[1]|chain(5)",
    "namespace(a=1)",
    "namespace()",
    "range",
    "dict(a=2)",
    "x",
    "s",
    "n",
    "f",
    "z",
    "m",
    "users",
    "e",
    "missing",
    "t",
    "9223372036854775807",
};

// Applied to a parenthesised operand; "@" stands for a nested operand.
inline constexpr std::array<std::string_view, 64> kShapeFilters = {
    "|length",
    "|count",
    "|list",
    "|first",
    "|last",
    "|join",
    "|join(@)",
    "|sort",
    "|sort(reverse=true)",
    "|unique",
    "|reverse",
    "|items",
    "|dictsort",
    "|tojson",
    "|pprint",
    "|string",
    "|sum",
    "|min",
    "|max",
    "|batch(2)",
    "|batch(2, @)",
    "|slice(2)",
    "|map('upper')",
    "|map(attribute='a')",
    "|select",
    "|reject('odd')",
    "|selectattr('a')",
    "|rejectattr('a')",
    "|groupby('a')",
    "|zip(@)",
    "|chain",
    "|chain(@)",
    "|chain([9])",
    "|default(@)",
    "|d",
    "|abs",
    "|int",
    "|float",
    "|round",
    "|bool",
    "|upper",
    "|lower",
    "|title",
    "|capitalize",
    "|trim",
    "|split",
    "|lines",
    "|indent(2)",
    "|replace('a', @)",
    "|urlencode",
    "|format(@)",
    "|attr('a')",
    "|safe",
    "|escape",
    "|list|first",
    "|items|list",
    "|reverse|list",
    "|unique|length",
    "|sort|first",
    "|string|length",
    "|chain|list",
    "|tojson|length",
    "|batch(1)|first",
    "|dictsort|first",
};

inline constexpr std::array<std::string_view, 18> kShapeOperators = {
    " + ",  " - ", " * ",  " / ", " // ", " % ",  " ** ",     " ~ ",   " == ",
    " != ", " < ", " <= ", " > ", " >= ", " in ", " not in ", " and ", " or ",
};

inline constexpr std::array<std::string_view, 24> kShapeTests = {
    " is defined",  " is undefined",      " is none",
    " is iterable", " is sequence",       " is mapping",
    " is string",   " is number",         " is integer",
    " is float",    " is true",           " is false",
    " is odd",      " is divisibleby(2)", " is sameas(@)",
    " is eq(@)",    " is in(@)",          " is startingwith('a')",
    " is lower",    " is safe",           " is filter",
    " is test",     " is boolean",        " is not iterable",
};

// What follows a parenthesised operand: indexing, slicing, attributes and calls.
inline constexpr std::array<std::string_view, 9> kShapeSuffixes = {
    "[0]", "[-1]", "[1:]", "[::-1]", ".a", "['a']", "[@]", "(1)", ".items()",
};

// The statement around the expression; "@" is where it goes.
inline constexpr std::array<std::string_view, 12> kShapeStatements = {
    "{{ @ }}",
    "{% for i in @ %}{{ i }},{% endfor %}",
    "{% if @ %}y{% else %}n{% endif %}",
    "{% set v = @ %}{{ v ~ v }}",
    "{% for a, b in @ %}{{ a }}{{ b }}{% endfor %}",
    "{{ [@, 1]|length }}",
    "{% set ns = namespace() %}{% set ns.v = @ %}{{ ns }}",
    "{% filter upper %}{{ @ }}{% endfilter %}",
    "{% set v %}{{ @ }}{% endset %}{{ v|length }}",
    "{% with v = @ %}{{ v|string }}{% endwith %}",
    "{% for i in [1, 2] %}{{ @ }}{{ loop.index }}{% endfor %}",
    "{{ {'k': @} }}",
};

// Builds one template; `Chooser` answers pick(n) with a number below n.
template <class Chooser>
class ShapeBuilder {
 public:
  explicit ShapeBuilder(Chooser& chooser) : chooser_(chooser) {}

  std::string template_source(int depth) {
    return fill(kShapeStatements[pick(kShapeStatements)], depth);
  }

  std::string operand(int depth) {
    if (depth <= 0) return std::string(kShapeValues[pick(kShapeValues)]);
    switch (chooser_.pick(6)) {
      case 0:
        return std::string(kShapeValues[pick(kShapeValues)]);
      case 1:
        return "(" + operand(depth - 1) + ")" + fill(kShapeFilters[pick(kShapeFilters)], depth);
      case 2: {
        std::string left = operand(depth - 1);
        std::string_view op = kShapeOperators[pick(kShapeOperators)];
        return "(" + left + std::string(op) + operand(depth - 1) + ")";
      }
      case 3:
        return "(" + operand(depth - 1) + fill(kShapeTests[pick(kShapeTests)], depth) + ")";
      case 4:
        // Most values have no negation, so minus is the rarer prefix.
        return std::string(chooser_.pick(4) == 0 ? "(-" : "(not ") + operand(depth - 1) + ")";
      default:
        return "(" + operand(depth - 1) + ")" + fill(kShapeSuffixes[pick(kShapeSuffixes)], depth);
    }
  }

 private:
  template <class Table>
  std::size_t pick(const Table& table) {
    return chooser_.pick(table.size());
  }

  // The piece with each "@" replaced by an operand one level shallower.
  std::string fill(std::string_view piece, int depth) {
    std::string out;
    for (char c : piece) {
      if (c == '@')
        out += operand(depth - 1);
      else
        out += c;
    }
    return out;
  }

  Chooser& chooser_;
};

// Choices read from bytes, one byte each; past the end every choice is the first.
class ByteChooser {
 public:
  explicit ByteChooser(std::string_view bytes) : bytes_(bytes) {}
  std::size_t pick(std::size_t n) {
    if (at_ >= bytes_.size()) return 0;
    return static_cast<unsigned char>(bytes_[at_++]) % n;
  }

 private:
  std::string_view bytes_;
  std::size_t at_ = 0;
};

}  // namespace velloquin::fuzz
