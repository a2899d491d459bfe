#include "app/IconPlacement.h"

#include <gtest/gtest.h>

namespace {

TEST(IconPlacement, CentresAndRoundsTowardZero) {
  const struct {
    int client, icon, offset;
  } cases[] = {{32, 32, 0}, {100, 32, 34}, {101, 32, 35}, {31, 32, 0},
               {0, 32, -15}, {-5, 32, -18}};
  for (const auto& c : cases) {
    EXPECT_EQ(c.offset, CenteredIconOffset(c.client, c.icon))
        << c.client << " / " << c.icon;
  }
}

}  // namespace
