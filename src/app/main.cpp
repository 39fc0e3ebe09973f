#include "frame/QelApp.h"
#include "platform/DesktopServices.h"
#include "platform/Trace.h"

#ifdef VELOTRIX_TEST_HOOKS
#include "app/TestChannel.h"
#endif

#include <QApplication>

#include <clocale>
#include <csignal>
#include <cstdio>

int main(int argc, char *argv[])
{
  // Under a file-size limit a write past it would end the program with the
  // user's edits; ignored, it fails with EFBIG and the save says so.
  std::signal(SIGXFSZ, SIG_IGN);
  vtx::ApplyTraceSwitch();
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("Norv"));
  QApplication::setApplicationName(QStringLiteral("Velotrix"));
  QApplication::setApplicationVersion(QStringLiteral(VELOTRIX_VERSION));
  // Board values are read and written with '.' whatever the desktop's locale.
  std::setlocale(LC_NUMERIC, "C");
  // Questions, files and beeps go to the desktop from here on.
  vtx::InstallDesktopServices();

  CQelApp velotrix;
  if (!velotrix.InitInstance(QApplication::arguments().mid(1))) {
    // A document handed to the running copy ends this one silently; one
    // that cannot be opened is a failure and says why.
    if (velotrix.StartError().isEmpty())
      return 0;
    std::fprintf(stderr, "velotrix: cannot open %s\n", qUtf8Printable(velotrix.StartError()));
    return 1;
  }
#ifdef VELOTRIX_TEST_HOOKS
  // The display test drives the program through this socket.
  TestChannel channel(velotrix);
  const QString channelName = qEnvironmentVariable("VELOTRIX_TEST_CHANNEL");
  if (!channelName.isEmpty() && !channel.Listen(channelName))
    return 1;
#endif
  return app.exec();
}
