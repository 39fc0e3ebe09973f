#include "platform/Profile.h"

#include <QFile>
#include <QTemporaryDir>

#include "TestSupport.h"

#include <gtest/gtest.h>

TEST(Profile, SectionsBecomeGroupsAndValuesSurviveAReload)
{
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("p.ini"));
  {
    Profile p(path);
    EXPECT_TRUE(p.WriteProfileString(QStringLiteral("2.1\\Settings"), QStringLiteral("Initialize Language"),
                                     QStringLiteral("ITA")));
    EXPECT_TRUE(p.WriteProfileInt(QStringLiteral("2.1\\Colors"), QStringLiteral("CorpoTestoNormale"), 0xFF8040));
    EXPECT_TRUE(p.WriteProfileString(QStringLiteral("2.1\\InternetUpdate"), QStringLiteral("Path 0"),
                                     QStringLiteral("http://h/a,b/")));
    EXPECT_TRUE(p.Sync());
  }
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray ini = f.readAll();
  EXPECT_TRUE(ini.contains("[2.1]")) << ini.constData();
  EXPECT_TRUE(ini.contains("Settings\\Initialize%20Language=ITA")) << ini.constData();

  Profile p(path);
  EXPECT_EQ(p.GetProfileString(QStringLiteral("2.1\\Settings"), QStringLiteral("Initialize Language")),
            QStringLiteral("ITA"));
  EXPECT_EQ(p.GetProfileInt(QStringLiteral("2.1\\Colors"), QStringLiteral("CorpoTestoNormale"), 0), 0xFF8040);
  EXPECT_EQ(p.GetProfileString(QStringLiteral("2.1\\InternetUpdate"), QStringLiteral("Path 0")),
            QStringLiteral("http://h/a,b/"));
  EXPECT_EQ(p.GetProfileString(QStringLiteral("2.1\\Settings"), QStringLiteral("missing"), QStringLiteral("dflt")),
            QStringLiteral("dflt"));
}

TEST(Profile, IntegersOfTheWrongKindGiveTheDefault)
{
  QTemporaryDir dir;
  Profile p(dir.filePath(QStringLiteral("p.ini")));
  const QString s = QStringLiteral("2.1\\Colors");
  p.WriteProfileString(s, QStringLiteral("text"), QStringLiteral("blue"));
  p.WriteProfileString(s, QStringLiteral("dword"), QStringLiteral("4294967295"));
  p.WriteProfileString(s, QStringLiteral("huge"), QStringLiteral("99999999999"));
  EXPECT_EQ(p.GetProfileInt(s, QStringLiteral("text"), 5), 5);
  EXPECT_EQ(p.GetProfileInt(s, QStringLiteral("dword"), 5), -1);
  EXPECT_EQ(p.GetProfileInt(s, QStringLiteral("huge"), 5), 5);
  EXPECT_EQ(p.GetProfileInt(s, QStringLiteral("absent"), 7), 7);
}
