#include "base/debug_quote.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace velloquin::jinja {
namespace {

struct Case {
  const char* what;
  std::string input;
  std::string quoted;
};

std::vector<Case> Cases() {
  using namespace std::string_literals;
  return {
      {"empty text", "", R"("")"},
      {"printable ASCII is kept", "Hello, world!", R"("Hello, world!")"},
      {"ASCII space is kept", "a b", R"("a b")"},
      {"double quote gets a backslash", R"(say "hi")", R"("say \"hi\"")"},
      {"backslash gets a backslash", R"(a\b)", R"("a\\b")"},
      {"single quote is not escaped", "it's", R"("it's")"},
      {"tab, carriage return, line feed", "a\tb\rc\nd", R"("a\tb\rc\nd")"},
      {"NUL is \\0", "a\0b"s, R"("a\0b")"},
      {"other C0 controls", "\x01\x1b\x1f", R"("\u{1}\u{1b}\u{1f}")"},
      {"DEL", "\x7f", R"("\u{7f}")"},
      {"C1 control NEL", "\u0085", R"("\u{85}")"},
      {"no-break space (Zs)", "\u00a0", R"("\u{a0}")"},
      {"ideographic space (Zs)", "\u3000", R"("\u{3000}")"},
      {"soft hyphen (Cf)", "\u00ad", R"("\u{ad}")"},
      {"zero width space (Cf)", "x\u200by", R"("x\u{200b}y")"},
      {"byte order mark (Cf)", "\ufeff", R"("\u{feff}")"},
      {"line and paragraph separators", "\u2028\u2029", R"("\u{2028}\u{2029}")"},
      {"private use (Co)", "\ue000", R"("\u{e000}")"},
      {"unassigned (Cn)", "\u0378", R"("\u{378}")"},
      {"last code point (Cn)", "\U0010ffff", R"("\u{10ffff}")"},
      {"tag character (Cf)", "\U000e0041", R"("\u{e0041}")"},
      {"combining mark (Mn) after a letter", "e\u0301", R"("e\u{301}")"},
      {"enclosing mark (Me)", "\u20dd", R"("\u{20dd}")"},
      {"spacing mark that extends graphemes", "\u09be", R"("\u{9be}")"},
      {"modifier letter that extends graphemes", "\uff9e", R"("\u{ff9e}")"},
      {"spacing mark that does not extend graphemes", "\u0903", "\"\u0903\""},
      {"printable Latin-1", "caf\u00e9 \u00fc\u00df", "\"caf\u00e9 \u00fc\u00df\""},
      {"printable CJK", "\u4e2d\u6587", "\"\u4e2d\u6587\""},
      {"printable astral emoji", "\U0001f600", "\"\U0001f600\""},
      {"lone invalid byte",
       "a\xff"
       "b",
       R"("a\xffb")"},
      {"continuation byte without lead", "\x80", R"("\x80")"},
      {"truncated sequence keeps the next character",
       "\xe2\x82"
       "A",
       R"("\xe2\x82A")"},
      {"truncated at the end", "\xf0\x9f\x98", R"("\xf0\x9f\x98")"},
      {"overlong form", "\xc0\xaf", R"("\xc0\xaf")"},
      {"encoded surrogate", "\xed\xa0\x80", R"("\xed\xa0\x80")"},
      {"past U+10FFFF", "\xf4\x90\x80\x80", R"("\xf4\x90\x80\x80")"},
  };
}

TEST(DebugQuote, QuotesAndEscapesLikeRustDebugOfStr) {
  for (const Case& c : Cases()) {
    EXPECT_EQ(debug_quote(c.input), c.quoted) << c.what;
  }
}

}  // namespace
}  // namespace velloquin::jinja
