// main() of the GUI test programs: runs on Qt's offscreen platform unless the
// environment names another, and creates the application object only when
// tests run (listing the tests needs no Qt).
#include <gtest/gtest.h>

#include <QtGlobal>

#include "support/gui_test_support.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  orvex::test::DropGuiApp();
  return result;
}
