#include "TestSupport.h"

#include "platform/DesktopServices.h"
#include "platform/Profile.h"
#include "platform/StringTable.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <clocale>
#include <cstring>

int main(int argc, char **argv)
{
  // Listing the tests (CTest's discovery) runs none and needs no display.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--gtest_list_tests") == 0) {
      ::testing::InitGoogleTest(&argc, argv);
      return RUN_ALL_TESTS();
    }
  }
  // Keep every test away from the user's own settings and files.
  QStandardPaths::setTestModeEnabled(true);
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("Norv"));
  QApplication::setApplicationName(QStringLiteral("Velotrix"));
  std::setlocale(LC_NUMERIC, "C");
  // No test may open a real dialog or start a program.
  Prompter::SetInstance(std::make_unique<ScriptedPrompter>());
  Launcher::SetInstance(std::make_unique<RecordingLauncher>());
  vtx::SetBeepHandler(vtx::DesktopBeep);
  Profile::SetInstance(std::make_unique<Profile>(
      QDir::temp().filePath(QStringLiteral("velotrix-test-%1.ini").arg(QApplication::applicationPid()))));
  ::testing::InitGoogleTest(&argc, argv);
  const int rc = RUN_ALL_TESTS();
  QFile::remove(Profile::Instance().FileName());
  return rc;
}
