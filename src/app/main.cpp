#include "platform/DesktopServices.h"
#include "platform/Options.h"
#include "platform/StringTable.h"

#include <QApplication>
#include <QLabel>

#include <clocale>

int main(int argc, char *argv[])
{
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("Norv"));
  QApplication::setApplicationName(QStringLiteral("Velotrix"));
  QApplication::setApplicationVersion(QStringLiteral(VELOTRIX_VERSION));
  // Board values are read and written with '.' whatever the desktop's locale.
  std::setlocale(LC_NUMERIC, "C");
  // Questions, files and beeps go to the desktop from here on.
  vtx::InstallDesktopServices();

  COptions options;
  // 2 is Italian; anything else is English from now on. Without its language
  // file Italian shows in English but stays the choice.
  if (options.Language.Get() == 2)
    StringTable::Instance().SetLanguage(StringTable::Language::Italian);
  else
    options.Language.Set(1);

  // The main window arrives with the frame; until then show who we are.
  QLabel placeholder(QStringLiteral("Velotrix %1").arg(QApplication::applicationVersion()));
  placeholder.setMinimumSize(400, 120);
  placeholder.setAlignment(Qt::AlignCenter);
  placeholder.show();
  return app.exec();
}
