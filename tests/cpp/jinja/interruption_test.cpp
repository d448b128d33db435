// A host's interruption stops long renders of every shape, and leaves the others as they were.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <thread>
#include <vector>

#include "jinja/runtime/environment.h"
#include "jinja/runtime/interruption.h"
#include "jinja/runtime/template.h"
#include "render_support.h"

namespace velloquin::jinja {
namespace {

// Says stop from its `stop_at`-th question on (0: never), and counts the questions.
class CountingInterruption final : public Interruption {
 public:
  explicit CountingInterruption(std::size_t stop_at) : stop_at_(stop_at) {}
  Result<void, Error> check() override {
    ++checks;
    if (stop_at_ != 0 && checks >= stop_at_) return err(Error(ErrorKind::InvalidOperation, "stop"));
    return {};
  }
  std::size_t checks = 0;

 private:
  std::size_t stop_at_;
};

struct Rendered {
  testing::Outcome outcome;
  std::size_t checks = 0;
};

Rendered render_with(const std::string& source, std::size_t stop_at) {
  Environment env;
  env.set_undefined_behavior(UndefinedBehavior::Strict);
  EXPECT_TRUE(env.add_template("t", source).ok());
  const Template* tmpl = *env.get_template("t");
  CountingInterruption interruption(stop_at);
  auto rendered = tmpl->render(Value::from_json(nlohmann::json::object()), &interruption);
  Rendered out{
      rendered.ok() ? testing::output(*rendered) : testing::error(rendered.error().display()),
      interruption.checks};
  return out;
}

// Each would run for hours; each is stopped at the first question, with the host's error.
TEST(Interruption, StopsEveryShapeOfLongRender) {
  const std::vector<std::string> long_renders = {
      "{% for i in range(100000) %}{% for j in range(100000) %}{% endfor %}{% endfor %}",
      "{% for i in range(100000) %}{% for j in range(100000) if false %}{% endfor %}{% endfor %}",
      "{% for i in range(100000) recursive %}{% if loop.depth < 3 %}{{ loop(range(100000)) }}"
      "{% endif %}{% endfor %}",
      // Few iterations, each building or walking many items or bytes in one step.
      "{% for i in range(100000) %}{% set x = range(100000)|list|reverse|list %}{% endfor %}",
      "{% for i in range(100000) %}{% set x = 'ab' * 1000000 %}{% endfor %}",
      "{% set xs = range(100000)|list %}{% for i in range(100000) %}{% set x = -1 is in xs %}"
      "{% endfor %}",
      "{% set xs = range(100000)|list %}{% for i in range(100000) %}{% set x = -1 in xs %}"
      "{% endfor %}",
  };
  for (const std::string& source : long_renders) {
    const Rendered rendered = render_with(source, 1);
    EXPECT_EQ(rendered.outcome, testing::error("invalid operation: stop (in t:1)")) << source;
    EXPECT_EQ(rendered.checks, 1u) << source;
  }
}

// A long render asked many times that never stops gives what it gives without the host.
TEST(Interruption, NeverStoppingChangesNothing) {
  const std::string source =
      "{% for i in range(300) %}{% for j in range(300) %}{% endfor %}{{ i % 7 }}{% endfor %}";
  const Rendered rendered = render_with(source, 0);
  EXPECT_EQ(rendered.outcome, testing::render(source));
  EXPECT_GT(rendered.checks, 10u);
}

// Questions answered with "go on" let the render go on; the first "stop" ends it.
TEST(Interruption, GoesOnUntilTheHostSaysStop) {
  const Rendered rendered = render_with(
      "{% for i in range(100000) %}{% for j in range(100000) %}{% endfor %}{% endfor %}", 3);
  EXPECT_EQ(rendered.outcome, testing::error("invalid operation: stop (in t:1)"));
  EXPECT_EQ(rendered.checks, 3u);
}

// One compiled template rendered by several threads at once: every render the same text.
TEST(Interruption, ThreadsRenderOneTemplateAtOnce) {
  Environment env;
  env.set_undefined_behavior(UndefinedBehavior::Strict);
  ASSERT_TRUE(env.add_template("t",
                               "{% set ns = namespace(n=0) %}{% for x in xs %}{% set ns.n = ns.n "
                               "+ x %}{{ loop.index }}{{ k|upper }}{{ [x, 'c']|join('-') }}"
                               "{% endfor %}{{ ns.n }}{{ {'a': 1} }}")
                  .ok());
  const Template* tmpl = *env.get_template("t");
  nlohmann::json context = {{"k", "ab"}, {"xs", nlohmann::json::array()}};
  for (int i = 0; i < 2000; ++i) context["xs"].push_back(i);
  const Value root = Value::from_json(context);
  const std::string expected = *tmpl->render(root);
  std::vector<std::string> texts(4);
  std::vector<std::thread> threads;
  for (std::string& text : texts) {
    threads.emplace_back([&] {
      for (int round = 0; round < 20; ++round) {
        auto rendered = tmpl->render(root);
        text = rendered.ok() && *rendered == expected ? "same" : "different";
        if (text != "same") return;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(texts, std::vector<std::string>(4, "same"));
}

}  // namespace
}  // namespace velloquin::jinja
