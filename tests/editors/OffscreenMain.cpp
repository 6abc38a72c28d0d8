// The decoration tests draw text, which needs a QGuiApplication: one offscreen for the whole run.
#include <gtest/gtest.h>

#include "editors/decoration/OffscreenGui.h"

int main(int argc, char **argv) {
  testing::InitGoogleTest(&argc, argv);
  TOffscreenGui gui;
  return RUN_ALL_TESTS();
}
