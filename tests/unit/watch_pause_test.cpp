// The watch around work that stops it: back by the rule of the work,
// however the work ends.
#include <gtest/gtest.h>

#include <stdexcept>

#include "registry/context.h"

namespace {

class FakeWatch : public registry::Watch {
 public:
  void Start() override { watching = true; }
  void Stop() override { watching = false; }
  bool Watching() const override { return watching; }
  bool Live() const override { return live; }
  bool watching = false, live = false;
};

TEST(WatchPause, ComesBackByItsRuleEvenWhenTheWorkFails) {
  struct Case {
    registry::WatchAfter rule;
    bool watching, live, expected;
  } cases[] = {
      // After a scan: whenever the live test is on, whatever ran before.
      {registry::WatchAfter::Scan, false, true, true},
      {registry::WatchAfter::Scan, true, false, false},
      // After the program's own change: exactly as it was.
      {registry::WatchAfter::OwnChange, true, false, true},
      {registry::WatchAfter::OwnChange, false, true, false},
  };
  for (const Case& c : cases) {
    for (bool fails : {false, true}) {
      FakeWatch watch;
      watch.watching = c.watching;
      watch.live = c.live;
      try {
        registry::WatchPause pause(watch, c.rule);
        EXPECT_FALSE(watch.watching);
        if (fails) throw std::runtime_error("failed");
      } catch (const std::runtime_error&) {
      }
      EXPECT_EQ(watch.watching, c.expected) << int(c.rule) << c.watching << c.live << fails;
    }
  }
}

}  // namespace
