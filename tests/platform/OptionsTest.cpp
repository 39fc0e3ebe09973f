#include "platform/Options.h"

#include "platform/Profile.h"

#include "TestSupport.h"

#include <QFile>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

namespace {

struct IntSetting {
  const char *entry;
  int defaultValue;
};

const IntSetting kIntSettings[] = {
    {"com_port", 1},
    {"com_speed", 19200},
    {"com_silent", 16},
    {"com_retry", 5},
    {"com_timeout", 300},
    {"Start_Timer", 1},
    {"Language", 0},
    {"Beep_on_error", 1},
    {"AuxTp", 0},
    {"TP_Autofilling", 0},
    {"TabsOnTop", 1},
    {"TabsImages", 1},
    {"HideTabsLess2Views", 0},
    {"C_conv_tXX_WithDefault", 1},
    {"ResetWriteIdx1", 1},
    {"ResetWriteIdx2", 1},
    {"ResetWriteIdx3", 1},
    {"VisLevel", 0},
};

struct ColorSetting {
  const char *entry;
  COLORREF defaultValue;
};

const ColorSetting kColorSettings[] = {
    {"CorpoTestoOfflineDef", RGB(0, 0, 255)},   {"SfondoTestoOfflineDef", RGB(224, 224, 224)},
    {"CorpoTestoOffline", RGB(0, 0, 255)},      {"SfondoTestoOffline", RGB(200, 200, 255)},
    {"CorpoTestoOnlineDef", RGB(255, 0, 0)},    {"SfondoTestoOnlineDef", RGB(255, 255, 128)},
    {"CorpoTestoOnline1", RGB(0, 0, 0)},        {"CorpoTestoOnline2", RGB(255, 0, 0)},
    {"SfondoTestoOnline1", RGB(255, 255, 128)}, {"SfondoTestoOnline2", RGB(255, 255, 0)},
    {"CorpoTestoConDipend", RGB(0, 0, 0)},      {"SfondoTestoConDipend", RGB(200, 200, 160)},
    {"CorpoTestoTrascinato", RGB(0, 0, 0)},     {"SfondoTestoTrascinato", RGB(192, 192, 192)},
    {"CorpoTestoTrascConDip", RGB(0, 0, 0)},    {"SfondoTestoTrascConDip", RGB(255, 0, 0)},
    {"CorpoTestoNormale", RGB(0, 0, 0)},        {"SfondoTestoNormale", RGB(255, 255, 255)},
};

const QString kSettings = QStringLiteral("2.1\\Settings");
const QString kColors = QStringLiteral("2.1\\Colors");

Profile &P()
{
  return Profile::Instance();
}

// A value of the profile's file read as another process would: straight from
// disk, past whatever the writer keeps in memory. Keys are given as
// "2.1/Settings/com_port".
QString OnDisk(const QString &key)
{
  QFile file(P().FileName());
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
    return QStringLiteral("<absent>");
  QString group;
  const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
  for (QString line : lines) {
    line = line.trimmed();
    if (line.startsWith(u'[') && line.endsWith(u']')) {
      group = line.mid(1, line.size() - 2);
      continue;
    }
    const qsizetype eq = line.indexOf(u'=');
    if (eq <= 0)
      continue;
    QString name = QUrl::fromPercentEncoding(line.left(eq).trimmed().toUtf8());
    name.replace(u'\\', u'/');
    QString value = line.mid(eq + 1).trimmed();
    if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
      value = value.mid(1, value.size() - 2);
    if ((group.isEmpty() || group == u"General" ? name : group + u'/' + name) == key)
      return value;
  }
  return QStringLiteral("<absent>");
}

} // namespace

TEST(Options, FirstStartTakesEveryDefaultAndCloseWritesThem)
{
  TestEnvironment env;
  {
    COptions o;
    EXPECT_EQ(o.com_port.Get(), 1);
    EXPECT_EQ(o.com_speed.Get(), 19200);
    EXPECT_EQ(o.com_retry.Get(), 5);
    EXPECT_EQ(o.VisLevel.Get(), 0);
    // Our server's update folder.
    EXPECT_EQ(o.Path0.Get(), COptions::kDefaultUpdatePath);
    EXPECT_EQ(o.Path0.Get(), QStringLiteral("http://update.norv.example/update/Velo-Trix/"));
    EXPECT_EQ(o.InitializeLanguage.Get(), QStringLiteral("Std"));
    EXPECT_EQ(o.ParWidth.GetCount(), 11);
    EXPECT_EQ(o.VarWidth.GetCount(), 10);
    EXPECT_EQ(o.Panes_.GetCount(), 12);
    EXPECT_EQ(o.ParWidth.At(0), 45);
    EXPECT_EQ(o.ParWidth.At(10), 75);
    EXPECT_EQ(o.Panes_.At(1), 600);
    EXPECT_EQ(o.Panes_.At(11), 616);
    EXPECT_EQ(o.SfondoTestoOnline1.Get(), 0x0080FFFFu);
    // Nothing is written before close.
    EXPECT_FALSE(P().Contains(kSettings, QStringLiteral("com_port")));
  }
  for (const IntSetting &s : kIntSettings) {
    EXPECT_EQ(P().GetProfileString(kSettings, QString::fromLatin1(s.entry)), QString::number(s.defaultValue))
        << s.entry;
  }
  for (const ColorSetting &c : kColorSettings)
    EXPECT_EQ(static_cast<COLORREF>(P().GetProfileInt(kColors, QString::fromLatin1(c.entry), -1)), c.defaultValue)
        << c.entry;
  const QString colWidth = QStringLiteral("2.1\\ColWidth");
  EXPECT_EQ(P().GetProfileString(colWidth, QStringLiteral("ParWidth00")), QStringLiteral("45"));
  EXPECT_EQ(P().GetProfileString(colWidth, QStringLiteral("ParWidth10")), QStringLiteral("75"));
  EXPECT_EQ(P().GetProfileString(colWidth, QStringLiteral("VarWidth09")), QStringLiteral("75"));
  EXPECT_FALSE(P().Contains(colWidth, QStringLiteral("VarWidth10")));
  EXPECT_EQ(P().GetProfileString(QStringLiteral("2.1\\SplitterWnd"), QStringLiteral("Panes_00")), QStringLiteral("-1"));
  EXPECT_EQ(P().GetProfileString(QStringLiteral("2.1\\SplitterWnd"), QStringLiteral("Panes_11")),
            QStringLiteral("616"));
  // Text settings are written only on demand.
  EXPECT_FALSE(P().Contains(QStringLiteral("2.1\\InternetUpdate"), QStringLiteral("Path 0")));
  EXPECT_FALSE(P().Contains(kSettings, QStringLiteral("Initialize Language")));
}

TEST(Options, IntegersAreReadTheAtoiWay)
{
  TestEnvironment env;
  P().WriteProfileString(kSettings, QStringLiteral("com_speed"), QStringLiteral("abc"));
  P().WriteProfileString(kSettings, QStringLiteral("com_port"), QStringLiteral("12x"));
  P().WriteProfileString(kSettings, QStringLiteral("com_timeout"), QStringLiteral("  -40"));
  P().WriteProfileString(kSettings, QStringLiteral("VisLevel"), QStringLiteral("77777777777777"));
  P().WriteProfileString(QStringLiteral("2.1\\ColWidth"), QStringLiteral("ParWidth03"), QStringLiteral("130px"));
  COptions o;
  EXPECT_EQ(o.com_speed.Get(), 0);
  EXPECT_EQ(o.com_port.Get(), 12);
  EXPECT_EQ(o.com_timeout.Get(), -40);
  EXPECT_EQ(o.VisLevel.Get(), 2147483647) << "kept as read; consumers clamp";
  EXPECT_EQ(o.ParWidth.At(3), 130);
}

TEST(Options, RestoreDefaultWaitsForSaveOrClose)
{
  TestEnvironment env;
  {
    COptions o;
    o.CorpoTestoNormale.Set(RGB(1, 2, 3));
    EXPECT_EQ(static_cast<COLORREF>(P().GetProfileInt(kColors, QStringLiteral("CorpoTestoNormale"), 0)), RGB(1, 2, 3));
    o.CorpoTestoNormale.RestoreDefault();
    EXPECT_EQ(o.CorpoTestoNormale.Get(), RGB(0, 0, 0));
    EXPECT_EQ(static_cast<COLORREF>(P().GetProfileInt(kColors, QStringLiteral("CorpoTestoNormale"), 0)), RGB(1, 2, 3));
  }
  EXPECT_EQ(static_cast<COLORREF>(P().GetProfileInt(kColors, QStringLiteral("CorpoTestoNormale"), 9)), RGB(0, 0, 0));
}

TEST(Options, TextSettingsReachTheProfileOnlyThroughSave)
{
  TestEnvironment env;
  {
    COptions o;
    o.InitializeLanguage.SetValue(QStringLiteral("ITA"));
  }
  EXPECT_FALSE(P().Contains(kSettings, QStringLiteral("Initialize Language")));
  {
    COptions o;
    o.InitializeLanguage.SetValue(QStringLiteral("ITA"));
    o.InitializeLanguage.Save();
  }
  COptions o;
  EXPECT_EQ(o.InitializeLanguage.Get(), QStringLiteral("ITA"));
  P().WriteProfileString(QStringLiteral("2.1\\InternetUpdate"), QStringLiteral("Path 0"), QString());
  COptions again;
  EXPECT_EQ(again.Path0.Get(), QString()) << "a stored empty text stays empty";
}

TEST(Options, ArraysAreBoundsCheckedAndStayUsableAfterSave)
{
  TestEnvironment env;
  COptions o;
  EXPECT_EQ(o.VarWidth.At(10), 0);
  EXPECT_EQ(o.VarWidth.At(-1), 0);
  EXPECT_FALSE(o.VarWidth.SetAt(10, 5));
  EXPECT_TRUE(o.VarWidth.SetAt(9, 120));
  o.VarWidth.Save();
  EXPECT_EQ(P().GetProfileString(QStringLiteral("2.1\\ColWidth"), QStringLiteral("VarWidth09")), QStringLiteral("120"));
  EXPECT_EQ(o.VarWidth.GetCount(), 10);
  EXPECT_EQ(o.VarWidth.At(9), 120);
  EXPECT_TRUE(o.VarWidth.SetAt(0, 60));
  EXPECT_EQ(o.VarWidth.At(0), 60);
  EXPECT_FALSE(P().Contains(QStringLiteral("2.1\\ColWidth"), QStringLiteral("VarWidth10")));
}

TEST(Options, SetAndSaveAreOnDiskWhenTheCallReturns)
{
  TestEnvironment env;
  COptions o;
  o.com_speed.Set(115200);
  EXPECT_EQ(OnDisk(QStringLiteral("2.1/Settings/com_speed")), QStringLiteral("115200"));
  o.CorpoTestoNormale.Set(RGB(1, 2, 3));
  EXPECT_EQ(OnDisk(QStringLiteral("2.1/Colors/CorpoTestoNormale")), QString::number(RGB(1, 2, 3)));
  o.InitializeLanguage.SetValue(QStringLiteral("ITA"));
  o.InitializeLanguage.Save();
  EXPECT_EQ(OnDisk(QStringLiteral("2.1/Settings/Initialize Language")), QStringLiteral("ITA"));
  o.Path0.SetValue(QStringLiteral("http://other.example/u/"));
  o.Path0.Save();
  EXPECT_EQ(OnDisk(QStringLiteral("2.1/InternetUpdate/Path 0")), QStringLiteral("http://other.example/u/"));
  ASSERT_TRUE(o.ParWidth.SetAt(4, 130));
  o.ParWidth.Save();
  EXPECT_EQ(OnDisk(QStringLiteral("2.1/ColWidth/ParWidth04")), QStringLiteral("130"));
  o.VisLevel.SetValue(2);
  o.VisLevel.Save();
  EXPECT_EQ(OnDisk(QStringLiteral("2.1/Settings/VisLevel")), QStringLiteral("2"));

  // A change in memory only waits for the close.
  o.com_timeout.SetValue(900);
  o.CorpoTestoOffline.SetValue(RGB(7, 7, 7));
  EXPECT_EQ(o.com_timeout.Get(), 900);
  EXPECT_EQ(OnDisk(QStringLiteral("2.1/Settings/com_timeout")), QStringLiteral("<absent>"));
  EXPECT_EQ(OnDisk(QStringLiteral("2.1/Colors/CorpoTestoOffline")), QStringLiteral("<absent>"));
}

TEST(Options, InMemoryChangesReachTheDiskAtCloseTextsDoNot)
{
  TestEnvironment env;
  {
    COptions o;
    o.VisLevel.SetValue(2);
    ASSERT_TRUE(o.Panes_.SetAt(1, 420));
    ASSERT_TRUE(o.VarWidth.SetAt(9, 61));
    o.SfondoTestoNormale.SetValue(RGB(9, 8, 7));
    o.CorpoTestoOnline1.Set(RGB(1, 1, 1));
    o.CorpoTestoOnline1.RestoreDefault();
    o.InitializeLanguage.SetValue(QStringLiteral("ITA"));
    o.Path0.SetValue(QStringLiteral("http://other.example/u/"));
  }
  const auto at = [](const char *key) { return OnDisk(QString::fromLatin1(key)); };
  EXPECT_EQ(at("2.1/Settings/VisLevel"), QStringLiteral("2"));
  EXPECT_EQ(at("2.1/SplitterWnd/Panes_01"), QStringLiteral("420"));
  EXPECT_EQ(at("2.1/SplitterWnd/Panes_00"), QStringLiteral("-1"));
  EXPECT_EQ(at("2.1/ColWidth/VarWidth09"), QStringLiteral("61"));
  EXPECT_EQ(at("2.1/ColWidth/VarWidth10"), QStringLiteral("<absent>"));
  EXPECT_EQ(at("2.1/Colors/SfondoTestoNormale"), QString::number(RGB(9, 8, 7)));
  EXPECT_EQ(at("2.1/Colors/CorpoTestoOnline1"), QString::number(RGB(0, 0, 0))) << "the restored default";
  for (const IntSetting &s : kIntSettings) {
    if (QLatin1StringView(s.entry) == QLatin1StringView("VisLevel"))
      continue;
    EXPECT_EQ(at((std::string("2.1/Settings/") + s.entry).c_str()), QString::number(s.defaultValue)) << s.entry;
  }
  EXPECT_EQ(at("2.1/Settings/Initialize Language"), QStringLiteral("<absent>"));
  EXPECT_EQ(at("2.1/InternetUpdate/Path 0"), QStringLiteral("<absent>"));

  // A text saved once keeps its saved value through a close that changed it
  // in memory only.
  {
    COptions o;
    o.InitializeLanguage.SetValue(QStringLiteral("ENG"));
    o.InitializeLanguage.Save();
    o.InitializeLanguage.SetValue(QStringLiteral("ITA"));
  }
  EXPECT_EQ(OnDisk(QStringLiteral("2.1/Settings/Initialize Language")), QStringLiteral("ENG"));
}
