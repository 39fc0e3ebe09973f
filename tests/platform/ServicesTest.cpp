#include "platform/Launcher.h"
#include "platform/Prompter.h"
#include "platform/WindowId.h"

#include "TestSupport.h"

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
