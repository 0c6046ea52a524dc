// The main window comes up as designed.
#include "tests/scenario/program.h"

namespace scenario {

TEST_F(Program, MainWindowIsRolledUpAndTitled) {
  app::Tvelmain& w = Start();
  EXPECT_EQ(w.Caption(), "Veltrane");
  EXPECT_EQ(w.ClientWidth(), 524);
  EXPECT_EQ(w.ClientHeight(), 101);
  EXPECT_TRUE(w.Visible());
}

}  // namespace scenario
