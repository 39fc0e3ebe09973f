#include "TestRun.h"

#include "platform/DesktopServices.h"
#include "platform/StringTable.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
  if (PrepareTestProgram(argc, argv))
    return RUN_ALL_TESTS();
  QApplication app(argc, argv);
  vtx::SetBeepHandler(vtx::DesktopBeep);
  return RunTests(argc, argv);
}
