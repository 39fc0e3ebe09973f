#include "TestRun.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
  if (PrepareTestProgram(argc, argv))
    return RUN_ALL_TESTS();
  QCoreApplication app(argc, argv);
  return RunTests(argc, argv);
}
