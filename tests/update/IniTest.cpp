#include "TestSupport.h"
#include "update/Ini.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class IniTest : public ::testing::Test {
protected:
  QString Write(const QByteArray &content)
  {
    const QString path = m_dir.filePath(QStringLiteral("t.ini"));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
    return path;
  }
  QByteArray Read(const QString &path)
  {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
  }
  QTemporaryDir m_dir;
};

TEST_F(IniTest, ReadsWithProfileRules)
{
  CIni ini(Write("top=ignored\r\n"
                 "[Velo-Trix]\r\n"
                 "  Main.exe  =  3  \r\n"
                 "; comment=1\r\n"
                 "quoted=\"a b\"\r\n"
                 "single='x'\r\n"
                 "bare\r\n"
                 "=nokey\r\n"
                 "main.EXE=second\r\n"
                 "[ velo-trix ]\r\n"
                 "later=1\r\n"
                 "[Other]\r\n"
                 "Version=1.2\r\n"));
  EXPECT_EQ(ini.GetString("VELO-TRIX", "MAIN.exe"), "3");
  EXPECT_EQ(ini.GetString("Velo-Trix", "quoted"), "a b");
  EXPECT_EQ(ini.GetString("Velo-Trix", "single"), "x");
  EXPECT_EQ(ini.GetString("Velo-Trix", "bare", "d"), "");
  EXPECT_EQ(ini.GetString("Velo-Trix", "; comment", "d"), "d");
  EXPECT_EQ(ini.GetString("Velo-Trix", "later", "d"), "d"); // the first of two sections wins
  EXPECT_EQ(ini.GetString("Velo-Trix", "top", "d"), "d");
  EXPECT_EQ(ini.GetString("Other", "version"), "1.2");
  EXPECT_EQ(ini.GetString("Missing", "Version", "0"), "0");
  EXPECT_EQ(ini.GetString("Other", "", "dflt"), "dflt");
  EXPECT_EQ(ini.GetString("", "Version", "dflt"), "dflt");
  EXPECT_EQ(CIni(m_dir.filePath("none.ini")).GetString("a", "b", "z"), "z");

  QStringList names;
  ini.GetKeyNames("velo-trix", &names);
  EXPECT_EQ(names, (QStringList{"Main.exe", "quoted", "single", "main.EXE"}));
  ini.GetKeyNames("Missing", &names);
  EXPECT_TRUE(names.isEmpty());
  EXPECT_TRUE(ini.IsSectionExist("OTHER"));
  EXPECT_TRUE(ini.IsKeyExist("Other", "Version"));
  EXPECT_FALSE(ini.IsKeyExist("Other", "Length"));
  EXPECT_EQ(ini.GetSectionNames(), (QStringList{"Velo-Trix", "velo-trix", "Other"}));
}

TEST_F(IniTest, LongValuesAndNumbers)
{
  const QByteArray longValue(1500, 'v');
  CIni ini(Write("[s]\nlong=" + longValue +
                 "\nn=12ab\nempty=\nhex=1F\nneg=-1\nbin=101\n"
                 "flag=Yes\nzero=0\nreal=2.5x\n"));
  EXPECT_EQ(ini.GetString("s", "long"), QString::fromLatin1(longValue));
  EXPECT_EQ(ini.GetInt("s", "n", 7, 10), 12);
  EXPECT_EQ(ini.GetInt("s", "empty", 7, 10), 7);
  EXPECT_EQ(ini.GetInt("s", "missing", 7, 10), 7);
  EXPECT_EQ(ini.GetInt("s", "n", 7, 5), 12); // any other base is 10
  EXPECT_EQ(ini.GetInt("s", "hex", 0, 16), 31);
  EXPECT_EQ(ini.GetInt("s", "bin", 0, 2), 5);
  EXPECT_EQ(ini.GetInt("s", "neg", 0, 10), -1);
  EXPECT_TRUE(ini.GetBool("s", "flag", false));
  EXPECT_FALSE(ini.GetBool("s", "zero", true));
  EXPECT_TRUE(ini.GetBool("s", "empty", true));
  EXPECT_DOUBLE_EQ(ini.GetReal("s", "real", 0.0), 2.5);

  char small[4];
  EXPECT_EQ(ini.GetString("s", "long", small, int(sizeof small)), 3);
  EXPECT_STREQ(small, "vvv");
}

TEST_F(IniTest, WritesKeepTheOtherLines)
{
  const QString path = Write("; header comment\r\n"
                             "[A]\r\n"
                             "x = 1 ; kept as written\r\n"
                             "y=2\r\n"
                             "\r\n"
                             "[B]\r\n"
                             "z=3\r\n");
  CIni ini(path);
  EXPECT_TRUE(ini.WriteString("a", "Y", "20"));
  EXPECT_TRUE(ini.WriteString("A", "new", "n"));
  EXPECT_TRUE(ini.WriteString("C", "Version", "1.0"));
  EXPECT_EQ(Read(path), "; header comment\r\n"
                        "[A]\r\n"
                        "x = 1 ; kept as written\r\n"
                        "y=20\r\n"
                        "new=n\r\n"
                        "\r\n"
                        "[B]\r\n"
                        "z=3\r\n"
                        "\r\n"
                        "[C]\r\n"
                        "Version=1.0\r\n");
  EXPECT_TRUE(ini.WriteString("B", "z", QString()));
  EXPECT_EQ(ini.GetString("B", "z", "d"), "");
  EXPECT_TRUE(ini.DeleteKey("A", "new"));
  EXPECT_TRUE(ini.DeleteSection("b"));
  EXPECT_EQ(Read(path), "; header comment\r\n"
                        "[A]\r\n"
                        "x = 1 ; kept as written\r\n"
                        "y=20\r\n"
                        "\r\n"
                        "[C]\r\n"
                        "Version=1.0\r\n");
  EXPECT_FALSE(ini.WriteString("", "k", "v"));
  EXPECT_FALSE(ini.WriteString("A", "", "v"));

  // The first write creates the file.
  CIni fresh(m_dir.filePath("fresh.txt"));
  EXPECT_TRUE(fresh.WriteString("sub/file.bin", "Version", "2"));
  EXPECT_EQ(fresh.GetString("SUB/FILE.BIN", "version"), "2");
  // A file that cannot be written reports it.
  CIni nowhere(m_dir.filePath("no/such/folder/x.ini"));
  EXPECT_FALSE(nowhere.WriteString("a", "b", "c"));
  // So does a write that fails after the file was made; the file stays whole.
  const QByteArray before = Read(path);
  {
    const FileSizeLimit limit(1000);
    EXPECT_FALSE(ini.WriteString("A", "long", QString(2000, u'v')));
  }
  EXPECT_EQ(Read(path), before);
}

TEST_F(IniTest, NumbersBlocksAndCopies)
{
  CIni ini(Write("[s]\r\nbad=0G11\r\n"));
  EXPECT_TRUE(ini.WriteInt("s", "b", 5, 2));
  EXPECT_EQ(ini.GetString("s", "b"), "101");
  EXPECT_TRUE(ini.WriteUInt("s", "h", 255, 16));
  EXPECT_EQ(ini.GetString("s", "h"), "FF");
  EXPECT_TRUE(ini.WriteInt("s", "d", -3));
  EXPECT_TRUE(ini.IncreaseInt("s", "d", 5));
  EXPECT_EQ(ini.GetString("s", "d"), "2");
  EXPECT_TRUE(ini.WriteReal("s", "r", 1.5, 2));
  EXPECT_EQ(ini.GetString("s", "r"), "1.50");

  const unsigned char bytes[] = {0x00, 0xAB, 0x10, 0xFF};
  EXPECT_TRUE(ini.WriteBlock("s", "blk", bytes, 4));
  EXPECT_EQ(ini.GetString("s", "blk"), "00AB10FF");
  EXPECT_EQ(ini.GetBlock("s", "blk", nullptr, 0), 4);
  unsigned char out[8] = {};
  // Copies stay inside the caller's buffer.
  EXPECT_EQ(ini.GetBlock("s", "blk", out, 2, 1), 2);
  EXPECT_EQ(out[0], 0xAB);
  EXPECT_EQ(out[1], 0x10);
  EXPECT_EQ(out[2], 0x00);
  EXPECT_EQ(ini.GetBlock("s", "blk", out, 8, 9), 0);
  EXPECT_EQ(ini.GetBlock("s", "bad", out, 8), 0);
  EXPECT_TRUE(ini.WriteRect("s", "rc", QRect(QPoint(1, 2), QPoint(9, 19))));
  EXPECT_EQ(ini.GetRect("s", "rc", QRect()), QRect(QPoint(1, 2), QPoint(9, 19)));
  EXPECT_EQ(ini.GetPoint("s", "rc", QPoint(7, 7)), QPoint(7, 7)); // wrong length

  EXPECT_TRUE(ini.CopySection("s", "t", true));
  EXPECT_FALSE(ini.CopySection("s", "t", true));
  EXPECT_FALSE(ini.CopySection("s", "S", false));
  EXPECT_EQ(ini.GetString("t", "h"), "FF");
  EXPECT_TRUE(ini.MoveKey("t", "h", "u", "hh"));
  EXPECT_FALSE(ini.IsKeyExist("t", "h"));
  EXPECT_EQ(ini.GetString("u", "hh"), "FF");
}

} // namespace
