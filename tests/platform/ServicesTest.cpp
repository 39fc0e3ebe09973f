#include "platform/DesktopLauncher.h"
#include "platform/DesktopServices.h"
#include "platform/DialogUnits.h"
#include "platform/Launcher.h"
#include "platform/Prompter.h"
#include "platform/StringTable.h"
#include "platform/WidgetPrompter.h"
#include "platform/WindowId.h"

#include "TestSupport.h"

#include <QApplication>
#include <QFile>
#include <QFontMetrics>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(Prompter, FileFiltersConvertToQtSyntax)
{
  EXPECT_EQ(Prompter::FilterToQt(QStringLiteral("Velotrix files (*.vtx)|*.vtx|Tembrano files (*.qel)|*.qel||")),
            QStringLiteral("Velotrix files (*.vtx);;Tembrano files (*.qel)"));
  EXPECT_EQ(Prompter::FilterToQt(QStringLiteral("Buffers|*.csv;*.txt|All|*.*||")),
            QStringLiteral("Buffers (*.csv *.txt);;All (*.*)"));
  EXPECT_EQ(Prompter::FilterToQt(QString()), QString());
  EXPECT_EQ(Prompter::FilterToQt(QStringLiteral("Odd|")), QString());
}

TEST(Prompter, ScriptedPrompterAnswersAndRecords)
{
  TestEnvironment env;
  env.prompter().AnswerMessage(IDYES);
  EXPECT_EQ(AfxMessageBox(QStringLiteral("Save?"), MB_YESNOCANCEL | MB_ICONQUESTION), IDYES);
  EXPECT_EQ(AfxMessageBox(QStringLiteral("Sure?"), MB_OKCANCEL), IDCANCEL) << "unanswered questions cancel";
  EXPECT_EQ(AfxMessageBox(QStringLiteral("Done")), IDOK);
  ASSERT_EQ(env.prompter().asked.size(), 3u);
  EXPECT_EQ(env.prompter().asked[0].text, QStringLiteral("Save?"));
  EXPECT_EQ(env.prompter().asked[0].type, unsigned(MB_YESNOCANCEL | MB_ICONQUESTION));
  EXPECT_EQ(env.prompter().unanswered, 2);
  // Unanswered boxes without a Cancel button get one of their own answers.
  EXPECT_EQ(AfxMessageBox(QStringLiteral("Go on?"), MB_YESNO), IDNO);
  EXPECT_EQ(AfxMessageBox(QStringLiteral("Link down"), MB_ABORTRETRYIGNORE), IDABORT);
  EXPECT_EQ(AfxMessageBox(QStringLiteral("Again?"), MB_RETRYCANCEL | MB_DEFBUTTON2), IDCANCEL);

  env.prompter().AnswerFile(QStringLiteral("/tmp/x.vtx"));
  FileDialogRequest req;
  req.filter = QStringLiteral("V|*.vtx||");
  EXPECT_EQ(Prompter::Instance().FileDialog(req), QStringLiteral("/tmp/x.vtx"));
  EXPECT_EQ(Prompter::Instance().FileDialog(req), QString());
  env.prompter().AnswerMenu(32855);
  EXPECT_EQ(Prompter::Instance().PopupMenu({{32855, QStringLiteral("Import")}}, QPoint()), 32855);

  EXPECT_TRUE(Launcher::Instance().Open(QStringLiteral("/tmp/report.rtf")));
  EXPECT_EQ(env.launcher().opened, QStringList{QStringLiteral("/tmp/report.rtf")});
}

TEST(WindowRegistry, IdsOfDestroyedWindowsResolveToNothing)
{
  WindowRegistry &reg = WindowRegistry::Instance();
  auto *a = new QObject;
  QObject b;
  const WindowId ia = reg.Register(a);
  const WindowId ib = reg.Register(&b);
  EXPECT_NE(ia, kNoWindow);
  EXPECT_NE(ia, ib);
  EXPECT_EQ(reg.Register(a), ia);
  EXPECT_EQ(reg.Resolve(ia), a);
  delete a;
  EXPECT_EQ(reg.Resolve(ia), nullptr);
  EXPECT_EQ(reg.Resolve(ib), &b);
  EXPECT_EQ(reg.Resolve(987654), nullptr);
  EXPECT_EQ(reg.Register(nullptr), kNoWindow);
  reg.Unregister(ib);
  EXPECT_EQ(reg.Resolve(ib), nullptr);
}

// Until a desktop session installs its services nothing waits for a person:
// questions get the answer of a closed box, opening needs a desktop.
TEST(Prompter, HeadlessServicesNeverWaitForAPerson)
{
  TestEnvironment env;
  HeadlessPrompter headless;
  EXPECT_EQ(headless.MessageBox(QStringLiteral("Save?"), QString(), MB_YESNOCANCEL), IDCANCEL);
  EXPECT_EQ(headless.MessageBox(QStringLiteral("Go on?"), QString(), MB_YESNO), IDNO);
  EXPECT_EQ(headless.MessageBox(QStringLiteral("Done"), QString(), MB_OK), IDOK);
  FileDialogRequest req;
  req.title = QStringLiteral("Open");
  EXPECT_EQ(headless.FileDialog(req), QString());
  EXPECT_EQ(headless.PopupMenu({{1, QStringLiteral("One")}}, QPoint()), 0);

  ProcessLauncher launcher;
  EXPECT_FALSE(launcher.Open(QStringLiteral("/tmp/report.rtf")));
  EXPECT_FALSE(launcher.StartProgram(QString(), {}));
}

TEST(Prompter, DesktopServicesReplaceTheInstalledOnes)
{
  TestEnvironment env;
  vtx::InstallDesktopServices();
  EXPECT_NE(dynamic_cast<WidgetPrompter *>(&Prompter::Instance()), nullptr);
  EXPECT_NE(dynamic_cast<DesktopLauncher *>(&Launcher::Instance()), nullptr);
  const vtx::BeepHandler installed = vtx::SetBeepHandler(nullptr);
  EXPECT_EQ(installed, &vtx::DesktopBeep);
  vtx::Beep(440, 50); // no handler: nothing happens
  // TestEnvironment puts the scripted prompter and recording launcher back.
}

// Template units follow the font and widen, within a bound, for a long text.
TEST(DialogUnits, FollowTheFontAndWidenForLongTexts)
{
  const QFont font = QApplication::font();
  CDialogUnits units(font);
  EXPECT_GT(units.BaseX(), 0);
  EXPECT_EQ(units.BaseY(), QFontMetrics(font).height());
  EXPECT_EQ(units.Rect(4, 8, 40, 16), QRect(units.BaseX(), units.BaseY(), 10 * units.BaseX(), 2 * units.BaseY()));

  const QString text = QStringLiteral("Mean Answare Time (ms)");
  const int before = units.BaseX();
  units.FitText(font, text, 10, 0, 1000);
  EXPECT_GT(units.BaseX(), before);
  EXPECT_GE(units.X(10), QFontMetrics(font).horizontalAdvance(text));

  CDialogUnits bounded(6, 13);
  bounded.FitText(font, text, 10, 0, 8);
  EXPECT_EQ(bounded.BaseX(), 8);
  bounded.FitText(font, text, 0, 0, 100); // an empty box changes nothing
  EXPECT_EQ(bounded.BaseX(), 8);

  // A text wrapped in a narrow box: the height grows for all its lines.
  const int lines =
      QFontMetrics(font).boundingRect(QRect(0, 0, bounded.X(10), 1 << 20), Qt::TextWordWrap, text).height();
  ASSERT_GT(lines, QFontMetrics(font).height());
  bounded.FitWrappedText(font, text, 10, 8, 1000);
  EXPECT_EQ(bounded.Y(8), lines);
  CDialogUnits low(6, 13);
  low.FitWrappedText(font, text, 10, 8, 20);
  EXPECT_EQ(low.BaseY(), 20);
}

// xdg-open reports success even when nothing handles the type: the
// desktop's table decides whether a file can be opened at all.
TEST(DesktopLauncherTest, AFileTypeWithoutADefaultApplicationCannotBeOpened)
{
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QFile report(dir.filePath(QStringLiteral("kx000001.rtf")));
  ASSERT_TRUE(report.open(QIODevice::WriteOnly));
  report.write("{\\rtf1 x}");
  report.close();
  const QByteArray path = qgetenv("PATH");
  qputenv("PATH", QFile::encodeName(dir.path()) + ':' + path);
  QFile tool(dir.filePath(QStringLiteral("xdg-mime")));
  const auto answer = [&](const QByteArray &desktopFile) {
    tool.open(QIODevice::WriteOnly | QIODevice::Truncate);
    tool.write("#!/bin/sh\necho " + desktopFile + "\n");
    tool.close();
    tool.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return DesktopLauncher::HasDefaultApplication(report.fileName());
  };
  const bool none = answer(QByteArray());
  const bool writer = answer("writer.desktop");
  qputenv("PATH", path);
  EXPECT_FALSE(none);
  EXPECT_TRUE(writer);
}
