// The filters over sequences, iterables and maps through templates.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jinja/render_support.h"

namespace velloquin::jinja {
namespace {

using testing::error;
using testing::expect_all;
using testing::output;

const char* kUsers =
    R"({"users": [{"name": "Ann", "city": "Berlin", "age": 30},
                  {"name": "bob", "city": "athens", "age": 25},
                  {"name": "Cid", "city": "berlin"}]})";

TEST(BuiltinSequenceFilters, PickingItems) {
  expect_all({
      {R"({{ "héllo"|first }}{{ "héllo"|last }}{{ [3, 4]|first }}{{ {"b": 1, "a": 2}|first }})",
       "{}", output("ho3a")},
      {R"({{ []|first is undefined }} {{ range(5)|last }})", "{}", output("True 4")},
      {R"({{ {"a": 1}|last }})", "{}",
       error("invalid operation: cannot get last item from value (in t:1)")},
      {R"({{ x|first }})", "{}",
       error("invalid operation: cannot get first item from value (in t:1)")},
      {R"({{ [1, "a", none]|max }} {{ [1, "a", none]|min }} {{ []|max is undefined }})", "{}",
       output("a None True")},
      {R"({{ 5|min }})", "{}", error("invalid operation: cannot convert value to list (in t:1)")},
      {R"({{ {"a": 1}|attr("a") }}{{ [1, 2]|attr(1) }})", "{}", output("12")},
      {R"({{ [1, 2, 3]|length }}{{ "héllo"|count }}{{ {"a": 1}|length }})", "{}", output("351")},
      {R"({{ 5|length }})", "{}",
       error("invalid operation: cannot calculate length of value of type number (in t:1)")},
  });
}

TEST(BuiltinSequenceFilters, Reshaping) {
  expect_all({
      {R"({{ [1, 2, 3, 4, 5]|batch(2) }})", "{}", output("[[1, 2], [3, 4], [5]]")},
      {R"({{ [1, 2, 3, 4, 5]|batch(2, "x") }})", "{}", output(R"([[1, 2], [3, 4], [5, "x"]])")},
      {R"({{ [1]|batch(0) }})", "{}", error("invalid operation: count cannot be 0 (in t:1)")},
      {R"({{ [1]|batch(-1) }})", "{}",
       error("invalid operation: cannot convert number to usize (in t:1)")},
      {R"({{ [1, 2, 3, 4, 5]|slice(3, "x") }})", "{}", output(R"([[1, 2], [3, 4], [5, "x"]])")},
      {R"({{ [1, 2, 3, 4]|slice(2, "x") }})", "{}", output(R"([[1, 2, "x"], [3, 4, "x"]])")},
      {R"({{ [1, 2]|slice(4) }})", "{}", output("[[1], [2], [], []]")},
      // Counts that would build billions of items are refused instead of exhausting memory.
      {R"({{ [1]|batch(1000000000000, 0) }})", "{}",
       error("invalid operation: count is too large (in t:1)")},
      {R"({{ [1]|batch(1000000000000) }})", "{}", output("[[1]]")},
      {R"({{ [1]|slice(1000000000000) }})", "{}",
       error("invalid operation: count is too large (in t:1)")},
      {R"({{ "abc"|list }} {{ {"b": 1, "a": 2}|list }} {{ none|list }})", "{}",
       output(R"(["a", "b", "c"] ["a", "b"] [])")},
      {R"({{ "aé"|reverse }} {{ [1, 2]|reverse }} {{ {"a": 1, "b": 2}|reverse }})", "{}",
       output(R"(éa [2, 1] ["a", "b"])")},
      {R"({{ 5|reverse }})", "{}",
       error("invalid operation: cannot reverse values of type number (in t:1)")},
      {R"({{ [1, 2, 3]|zip(["a", "b"]) }} {{ [1]|zip }})", "{}",
       output(R"([[1, "a"], [2, "b"]] [[1]])")},
      {R"({{ [1]|zip(5) }})", "{}",
       error("invalid operation: zip filter argument must be iterable, got number (in t:1)")},
      {R"({{ [1]|chain([2], "ab") }} {{ [1]|chain([2]) }} {{ {"b": 1}|chain({"a": 2, "b": 3}) }})",
       "{}", output(R"(<iterator> [1, 2] {"a": 2, "b": 3})")},
      {R"({% for x in [1]|chain(5) %}{{ x }}{% endfor %})", "{}",
       error("invalid operation: number is not iterable (in t:1)")},
      {R"({{ [1]|chain(5)|list }})", "{}",
       error("invalid operation: number is not iterable (in t:1)")},
  });
}

// A chain over an input that cannot be iterated fails where it is made: its result is never
// printed, compared, tested or combined as if it were an empty iterator.
TEST(BuiltinSequenceFilters, ChainOverANonIterableFailsWhereverItIsUsed) {
  const std::string not_iterable = "invalid operation: number is not iterable (in t:1)";
  for (const char* source : {
           "{{ a|chain + [0] }}",      "{{ 3|chain + [] }}",
           "{{ [] + 3|chain }}",       "{{ 3|chain ~ 1 }}",
           "{{ 3|chain == [] }}",      "{{ 3|chain != [] }}",
           "{{ 3|chain < [1] }}",      "{{ 3|chain }}",
           "{{ 3|chain|string }}",     "{{ 3|chain * 2 }}",
           "{{ 1 in 3|chain }}",       "{{ (3|chain)[0] }}",
           "{{ (3|chain)[1:] }}",      "{{ 3|chain|length }}",
           "{{ 3|chain|tojson }}",     "{{ 3|chain is iterable }}",
           "{{ 3|chain is defined }}", "{% if 3|chain %}y{% endif %}",
           "{% set v = 3|chain %}ok",  "{{ [3|chain] }}",
           "{{ [1]|chain('ab', a) }}", "{{ {'k': 1}|chain(a) }}",
           "{{ none|chain(5) }}",      "{{ (3|chain)|chain([1]) }}",
       }) {
    EXPECT_EQ(testing::render(source, R"({"a": 5})"), error(not_iterable)) << source;
  }
  expect_all({
      {"{{ a|chain + [0] }}", R"({"a": [1]})", output("[1, 0]")},
      {"{{ [] + a|chain }} {{ a|chain ~ 1 }} {{ a|chain == [1] }}", R"({"a": [1]})",
       output("[1] [1]1 True")},
      {"{{ [1]|chain(none, missing) }} {{ ([1]|chain(none))|list }}", "{}",
       output("<iterator> [1]")},
  });
}

TEST(BuiltinSequenceFilters, SortingAndGrouping) {
  expect_all({
      {R"({{ ["b", "A", "a", "B"]|sort }})", "{}", output(R"(["A", "a", "b", "B"])")},
      {R"({{ ["b", "A", "a", "B"]|sort(case_sensitive=true, reverse=true) }})", "{}",
       output(R"(["b", "a", "B", "A"])")},
      {R"({{ users|sort(attribute="age")|map(attribute="name")|join(",") }})", kUsers,
       output("Cid,bob,Ann")},
      {R"({{ [1]|sort(true) }})", "{}", error("too many arguments (in t:1)")},
      {R"({{ [1]|sort(nope=1) }})", "{}",
       error("too many arguments: unknown keyword argument 'nope' (in t:1)")},
      {R"({{ {"b": 1, "a": 2, "C": 3}|dictsort }})", "{}",
       output(R"([["a", 2], ["b", 1], ["C", 3]])")},
      {R"({{ {"b": 1, "a": 2}|dictsort(by="value", reverse=true) }})", "{}",
       output(R"([["a", 2], ["b", 1]])")},
      // Reversing keeps entries that compare equal in map order.
      {R"({{ {"b": 1, "a": 1, "c": 0}|dictsort(by="value", reverse=true) }})", "{}",
       output(R"([["a", 1], ["b", 1], ["c", 0]])")},
      {R"({{ {"A": 1, "a": 2}|dictsort(reverse=true) }} {{ {"A": 1, "a": 2}|dictsort }})", "{}",
       output(R"([["A", 1], ["a", 2]] [["A", 1], ["a", 2]])")},
      {R"({{ {"a": 1}|dictsort(by=1) }})", "{}",
       error("invalid operation: value is not a string (in t:1)")},
      {R"({{ {"a": 1}|dictsort(by=true, case_sensitive=1) }})", "{}",
       error("invalid operation: value is not a string (in t:1)")},
      {R"({{ {"a": 1}|dictsort(by=none) }} {{ {"a": 1}|dictsort(by="other") }})", "{}",
       output(R"([["a", 1]] [["a", 1]])")},
      {R"({{ [1]|dictsort }})", "{}",
       error("invalid operation: cannot convert value into pair list (in t:1)")},
      {R"({% for g in users|groupby("city") %}{{ g.grouper }}:{{ g.list|map(attribute="name")|join }};{% endfor %})",
       kUsers, output("athens:bob;berlin:AnnCid;")},
      {R"({% for city, people in users|groupby(attribute="age", default=0) %}{{ city }}={{ people|length }};{% endfor %})",
       kUsers, output("0=1;25=1;30=1;")},
      {R"({{ [1, 1.0, "1", "A", "a", [1], [1]]|unique }})", "{}", output(R"([1, "1", "A", [1]])")},
      {R"({{ users|unique(attribute="city")|map(attribute="name")|join }})", kUsers,
       output("Annbob")},
      {R"({{ {"a": 1, "b": [2]}|items }})", "{}", output(R"([["a", 1], ["b", [2]]])")},
      {R"({{ [1]|items }})", "{}",
       error("invalid operation: cannot convert value into pairs (in t:1)")},
  });
}

TEST(BuiltinSequenceFilters, MappingSelectingJoining) {
  expect_all({
      {R"({{ ["a", "b"]|map("upper") }} {{ ["a"]|map("replace", "a", "b") }})", "{}",
       output(R"(["A", "B"] ["b"])")},
      {R"({{ users|map(attribute="age", default=1) }})", kUsers, output("[30, 25, 1]")},
      {R"({{ users|map(attribute="age") }})", kUsers, output("[30, 25, undefined]")},
      {R"({{ [[1, 2]]|map(attribute=1) }})", "{}", output("[2]")},
      {R"({{ [1]|map("nope") }})", "{}", error("unknown filter (in t:1)")},
      {R"({{ [1]|map }})", "{}", error("invalid operation: filter name is required (in t:1)")},
      {R"({{ [1]|map(1) }})", "{}",
       error("invalid operation: filter name must be a string (in t:1)")},
      {R"({{ [1]|map("upper", attribute="x") }})", "{}", error("too many arguments (in t:1)")},
      {R"({{ [0, 1, "", none, "a"]|select }} {{ [1, 5, 10]|select(">", 3) }})", "{}",
       output(R"([1, "a"] [5, 10])")},
      {R"({{ [1, 2, 3]|reject("odd") }})", "{}", output("[2]")},
      {R"({{ [1]|select("nope") }})", "{}", error("unknown test (in t:1)")},
      {R"({{ users|selectattr("age", "gt", 26)|map(attribute="name")|join }})", kUsers,
       output("Ann")},
      {R"({{ users|rejectattr("age")|map(attribute="name")|join }})", kUsers, output("Cid")},
      {R"({{ users|selectattr("x.y") }})", kUsers, error("undefined value (in t:1)")},
      {R"({{ [none, true, "x", [1], missing]|join(",") }})", "{}", output("None,True,x,[1],")},
      {R"({{ x|join }}|{{ none|join }})", "{}", output("|")},
      {R"({{ []|join(",") }}|{{ [1, 2]|join(0) }}|{{ ["ab", "é"]|join }}|{{ ["x"]|join("-") }})",
       "{}", output("|102|abé|x")},
      {R"({{ range(3)|join("-") }}|{{ "abc"|join("-") }}|{{ {"b": 1, "a": 2}|join("-") }})", "{}",
       output("0-1-2|a-b-c|a-b")},
      {R"({{ ([1, 2, 3]|reverse)|join }}|{{ ([1, 2, 3]|select("odd"))|join }})", "{}",
       output("321|13")},
      {R"({{ 5|join }})", "{}",
       error("invalid operation: cannot join value of type number (in t:1)")},
      {R"({{ [1.5, 2]|sum }} {{ []|sum }} {{ [1, missing]|sum }})", "{}", output("3.5 0 1")},
      {R"({{ [1, true]|sum }})", "{}",
       error("invalid operation: can only sum numbers, got bool (in t:1)")},
  });
}

}  // namespace
}  // namespace velloquin::jinja
