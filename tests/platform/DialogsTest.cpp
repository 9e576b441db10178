#include <gtest/gtest.h>

#include "Dialogs.h"

TEST(Dialogs, ButtonBitsFollowTheButtonOrder) {
  EXPECT_EQ(Btn(mbYes) | Btn(mbNo), 3u);
  EXPECT_EQ(Btn(mbYesToAll), 1u << 9);
  EXPECT_EQ(Btn(mbHelp), 1u << 10);
}
