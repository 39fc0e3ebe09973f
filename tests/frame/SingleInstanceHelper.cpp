// A second copy of the program in miniature: checks the single instance
// with the name and file given and exits 0 when it handed the file over
// (it would end), 3 when it would start normally.
#include "frame/SingleInstance.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() < 2)
    return 2;
  CWinAppEx instance;
  const bool startNormally = instance.CheckInstance(args.at(1), args.value(2), 20000);
  return startNormally ? 3 : 0;
}
