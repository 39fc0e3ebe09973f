// Import and compare of older document files, and the RTF report.
#include "DocFakes.h"

#include "model/ImportReport.h"
#include "model/QelDoc.h"
#include "platform/Cp1252.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cmath>

#include <gtest/gtest.h>

namespace {

// An older file made from an example by editing its lines.
class OldFile {
public:
  explicit OldFile(const QString &text) : m_lines(text.split(QStringLiteral("\r\n"))) {}
  // Replaces "from" by "to" in the line that starts with prefix.
  OldFile &Edit(const QString &prefix, const QString &from, const QString &to)
  {
    QString &line = Line(prefix);
    EXPECT_TRUE(line.contains(from)) << prefix.toStdString() << " " << from.toStdString();
    line.replace(from, to);
    return *this;
  }
  OldFile &Set(const QString &prefix, const QString &line)
  {
    Line(prefix) = line;
    return *this;
  }
  OldFile &Remove(const QString &prefix)
  {
    m_lines.removeAt(m_lines.indexOf(Line(prefix)));
    return *this;
  }
  QString Text() const { return m_lines.join(QStringLiteral("\r\n")); }

private:
  QString &Line(const QString &prefix)
  {
    for (QString &line : m_lines)
      if (line.startsWith(prefix))
        return line;
    ADD_FAILURE() << "no line " << prefix.toStdString();
    static QString none;
    return none;
  }
  QStringList m_lines;
};

QString ExampleText(const char *name)
{
  return Cp1252::Decode(ReadBytes(ExamplePath(QString::fromLatin1(name))));
}

// Indexes of demo-full's parameters.
enum {
  SPEED_KP = 0,
  SPEED_KI = 1,
  CURRENT_KP = 2,
  ACC_RAMP = 4,
  PAR0 = 6,
  MAX_SPEED = 9,
  CURRENT_LIMIT = 10,
  CONTROL_MODE = 11,
  ANALOG_IN_LINK = 13,
  POS_SOURCE = 14,
  POWER_SOURCE = 15,
  SPEED_REF_PAR = 16,
  TRIG_LEV_POS = 18,
  TRIG_LEV_NEG = 19,
  REC_STP_DEL = 20,
  C_DIAG_REC1 = 21,
  C_DIAG_REC2 = 22,
  C_DIAG_REC3 = 23,
  C_DIAG_REC4 = 24,
};

// A small board for the corner cases: 0 and 1 are variable links, 2 and 3
// share a name, 4 is a float.
const char *const SmallBoard = "#Norv tembrano v1.1\r\n"
                               "Version = SMALL v2;\r\n"
                               "K[] = 1;\r\n"
                               "b1 Main#0; b=1; a=0;\r\n"
                               "f0 gain=1.5; m=0; d=1; M=10; k=0; n=0; s=0; b=1; p=8; v=0; a=0; u=-1;\r\n"
                               "p1 vlink=10; m=0; d=0; M=9999; k=-1; n=-1; s=0; b=1; p=0; v=0; a=1; u=-1;\r\n"
                               "p2 dup=1; m=0; d=0; M=100; k=-1; n=-1; s=0; b=1; p=1; v=0; a=0; u=-1;\r\n"
                               "p3 dup=1; m=0; d=0; M=100; k=-1; n=-1; s=0; b=1; p=2; v=0; a=0; u=-1;\r\n"
                               "p4 wlink=12; m=0; d=0; M=12; k=-1; n=-1; s=0; b=1; p=3; v=0; a=1; u=-1;\r\n"
                               "v0 x; k=-1; n=-1; s=0; b=1; p=0; v=0; a=0; u=-1;\r\n"
                               "v1 y; k=-1; n=-1; s=0; b=1; p=1; v=0; a=0; u=-1;\r\n"
                               "v2 z; k=-1; n=-1; s=0; b=1; p=2; v=0; a=0; u=-1;\r\n"
                               "v3 far; k=-1; n=-1; s=0; b=1; p=5; v=0; a=0; u=-1;\r\n";

class Import : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(temp.isValid());
    doc.SetHost(&host);
    doc.SetTempFolder(temp.path());
    doc.SetClock([] { return QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7)); });
    doc.AddView(&view);
  }
  void TearDown() override { doc.RemoveView(&view); }
  void LoadExample(const char *name = "demo-full.vtx")
  {
    ASSERT_TRUE(LoadText(doc, ExampleText(name)));
    doc.SetModifiedFlag(false);
    view.hints.clear();
  }
  CQelDocFileImport::ReportStatus Run(const QString &oldText, bool compare,
                                      const QString &oldPath = QStringLiteral("/boards/old.vtx"))
  {
    CDocArchive ar = CDocArchive::FromText(oldText);
    return doc.ImportFile(ar, compare, oldPath);
  }
  // Loads the small board below and imports the old file's lines (after its header).
  void ImportIntoSmallBoard(const char *lines)
  {
    ASSERT_TRUE(LoadText(doc, QString::fromLatin1(SmallBoard)));
    Run(QStringLiteral("#Norv tembrano v1.1\r\n") + QString::fromLatin1(lines), false);
  }
  QString Report() const { return Cp1252::Decode(ReadBytes(doc.GetLastReportPath())); }
  double Value(int i) const { return doc.GetPar(i).GetValue(Parametri::SEL_VALUE); }

  TestEnvironment env;
  FakeDocHost host;
  QTemporaryDir temp;
  HintView view;
  CQelDoc doc;
};

const QString Row1 = QStringLiteral("\\b %1\\b0 \\cell %2\\cell %3\\cell \\cf2\\b %4\\b0\\cf0 \\row\r\n");
QString Row2(const QString &name, const QString &old, const QString &imported, const QString &note = {})
{
  return QStringLiteral("\\b %1\\b0 \\cell \\cf2 %2\\cf0 \\cell \\cf2 %3\\cf0 \\cell %4\\row\r\n")
      .arg(name, old, imported, note);
}
const QString Row3 = QStringLiteral("\\b %1\\b0 \\cell %2\\cell %3\\cell\\row\r\n");

TEST_F(Import, ValuesAreMatchedByNameClampedAndReported)
{
  LoadExample();
  doc.WriteParValue(TRIG_LEV_NEG, -500); // an offline edit before the import
  ASSERT_EQ(doc.GetUndoList().size(), 1u);
  const QString old =
      OldFile(ExampleText("demo-full.vtx"))
          .Edit(QStringLiteral("Version"), QStringLiteral("v2.10"), QStringLiteral("v2.00"))
          .Edit(QStringLiteral("p9 max_speed"), QStringLiteral("=1500;"), QStringLiteral("=5000;"))
          .Edit(QStringLiteral("p9 max_speed"), QStringLiteral(" p=4;"), QStringLiteral(" p=6;"))
          .Edit(QStringLiteral("p16 speed_ref_par"), QStringLiteral("=204;"), QStringLiteral("=206;"))
          .Edit(QStringLiteral("p10 current_limit"), QStringLiteral("=250;"), QStringLiteral("=251;"))
          .Edit(QStringLiteral("p11 control_mode"), QStringLiteral("control_mode=1"), QStringLiteral("ctrl_mode=2"))
          .Edit(QStringLiteral("f0 speed_kp"), QStringLiteral("=0.75;"), QStringLiteral("=0.7500001;"))
          .Edit(QStringLiteral("f1 speed_ki"), QStringLiteral("=12.5;"), QStringLiteral("=inf;"))
          .Edit(QStringLiteral("f2 current_kp"), QStringLiteral("=0.2;"), QStringLiteral("=0.1;"))
          .Edit(QStringLiteral("l4 acc_ramp"), QStringLiteral("=5000;"), QStringLiteral("=99999999;"))
          .Edit(QStringLiteral("p18 trig_lev_pos"), QStringLiteral("=1000;"), QStringLiteral("=40000;"))
          .Edit(QStringLiteral("p20 rec_stp_del"), QStringLiteral("=10;"), QStringLiteral("=1500;"))
          .Remove(QStringLiteral("p19 trig_lev_neg"))
          .Text();

  EXPECT_EQ(Run(old, false), CQelDocFileImport::ReportStatus::Opened);

  EXPECT_EQ(Value(MAX_SPEED), 3000); // its register moved, its name did not
  EXPECT_EQ(Value(CURRENT_LIMIT), 251);
  EXPECT_EQ(Value(ACC_RAMP), 600000);     // clamped to the maximum
  EXPECT_EQ(Value(TRIG_LEV_POS), -25536); // the 16-bit register 0x9C40
  EXPECT_EQ(Value(REC_STP_DEL), 1000);    // clamped to the maximum
  EXPECT_EQ(Value(SPEED_KP), 0.75);       // within the tolerance: not written
  EXPECT_EQ(Value(SPEED_KI), 12.5);       // not a finite number: never written
  EXPECT_EQ(Value(CONTROL_MODE), 1);      // renamed in the old file
  EXPECT_EQ(Value(TRIG_LEV_NEG), -500);   // missing from the old file
  // Changed against the board: what the import set. To be kept until sent:
  // every value the file gave, equal or not, and the edit before it.
  for (int i = 0; i < doc.GetParCount(); ++i) {
    const bool imported = i == MAX_SPEED || i == CURRENT_LIMIT || i == ACC_RAMP || i == TRIG_LEV_POS ||
                          i == REC_STP_DEL || i == CURRENT_KP;
    EXPECT_EQ(doc.GetPar(i).IsChanged(), imported) << i;
    EXPECT_EQ(doc.GetPar(i).IsOfflineChange(), i != CONTROL_MODE && i != SPEED_KI) << i;
  }
  EXPECT_TRUE(doc.IsModified());
  ASSERT_EQ(doc.GetUndoList().size(), 1u); // the import adds no undo records
  EXPECT_EQ(doc.GetUndoList().back().index, TRIG_LEV_NEG);
  EXPECT_TRUE(doc.NeedsParListUpdate());
  EXPECT_EQ(view.hints, std::vector<long>{0x2000});

  const QString path = QDir(temp.path()).filePath(QStringLiteral("kx000000.rtf"));
  EXPECT_EQ(doc.GetLastReportPath(), path);
  EXPECT_EQ(env.launcher().opened, QStringList{path});
  const QString report = Report();
  EXPECT_TRUE(report.contains(
      QStringLiteral("\\b Import old Velotrix file (en.2.1.26)\\b0\\par\\b Now:\\b0\t 03/04/26 05:06:07\\par")));
  EXPECT_TRUE(report.contains(
      QStringLiteral("\\b File to import:\\b0  /boards/old.vtx\\par\r\n"
                     "\\b Imported file version:\\b0 Version = NORV AXD1408 v2.00;\\par\\par\\par\r\n")));
  EXPECT_TRUE(report.contains(QStringLiteral("Description\\cell Old value\\cell Imported\\cell Note\\row\r\n")));
  const QString borders = QStringLiteral(
      "\\clbrdrl\\brdrw10\\brdrs\\clbrdrt\\brdrw10\\brdrs\\clbrdrr\\brdrw10\\brdrs\\clbrdrb\\brdrw10\\brdrs \t");
  EXPECT_TRUE(report.contains(
      QStringLiteral("\\b Problem list:\\b0 \\par\r\n{ \t\\trowd\\trgaph70\\trleft-70\\trbrdrl\\brdrs\\brdrw10\r\n"
                     " \t\\trpaddl70\\trpaddr70\\trpaddfl3\\trpaddfr3 \t") +
      borders + QStringLiteral("\\cellx2000 \t") + borders + QStringLiteral("\\cellx4000 \t") + borders +
      QStringLiteral("\\cellx6000 \t") + borders + QStringLiteral("\\cellx8000\\pard\\intbl\\f1\\fs20Description")));
  EXPECT_TRUE(report.contains(
      QStringLiteral("\\pard\\intbl\\f1\\fs20Description\\cell Old value\\cell Imported\\cell Note\\row\r\n") +
      Row1.arg(QStringLiteral("speed_ki"), QStringLiteral("12.5"), QStringLiteral("inf"),
               QStringLiteral("Invalid value")) +
      Row1.arg(QStringLiteral("control_mode"), QStringLiteral("1"), QString(), QStringLiteral("Parameter not found")) +
      Row1.arg(QStringLiteral("trig_lev_neg"), QStringLiteral("-500"), QString(),
               QStringLiteral("Parameter not found")) +
      QStringLiteral("\\pard\\par\r\n}\\par\\par\r\n")))
      << report.toStdString();
  // The third cell is what the old file says; the fourth what was stored
  // instead, and why when the limits changed it.
  EXPECT_TRUE(report.contains(
      QStringLiteral("\\intbl\\f1\\fs20Description\\cell Old value\\cell Imported\\cell Note\\row\r\n") +
      Row2(QStringLiteral("current_kp"), QStringLiteral(" 0.2"), QStringLiteral(" 0.1")) +
      Row2(QStringLiteral("acc_ramp"), QStringLiteral("5000"), QStringLiteral("99999999"),
           QStringLiteral("stored as 600000 (limits 1 to 600000)")) +
      Row2(QStringLiteral("max_speed"), QStringLiteral("1500"), QStringLiteral("5000"),
           QStringLiteral("stored as 3000 (limits 0 to 3000)")) +
      Row2(QStringLiteral("current_limit"), QStringLiteral("250"), QStringLiteral("251")) +
      Row2(QStringLiteral("trig_lev_pos"), QStringLiteral("1000"), QStringLiteral("-25536"),
           QStringLiteral("stored as -25536")) +
      Row2(QStringLiteral("rec_stp_del"), QStringLiteral("10"), QStringLiteral("1500"),
           QStringLiteral("stored as 1000 (limits 0 to 1000)")) +
      QStringLiteral("\\pard\\par\r\n}")))
      << report.toStdString();
  EXPECT_TRUE(report.endsWith(QStringLiteral("\\b Imported connections:\\b0 \\par\\par\r\n\\tab Empty list.\\par\r\n"
                                             "\\par\r\n\\b End of report.\\b0 }")));
}

// Groups open and close in order and nothing is left open; control symbols
// and \'xx escapes are skipped.
bool GroupsBalanced(const QString &rtf)
{
  int depth = 0;
  for (qsizetype i = 0; i < rtf.size(); ++i) {
    if (rtf[i] == u'\\') {
      ++i;
      continue;
    }
    if (rtf[i] == u'{')
      ++depth;
    else if (rtf[i] == u'}' && --depth < 0)
      return false;
  }
  return depth == 0;
}

TEST_F(Import, CompareOfAnIdenticalFileChangesNothingAndListsNothing)
{
  LoadExample();
  doc.SetPathName(QStringLiteral("D:\\a\\b.qel"));
  doc.SetModifiedFlag(false);
  EXPECT_EQ(Run(SaveText(doc), true, QStringLiteral("C:\\old {v1}\\velocit\u00e0.vtx")),
            CQelDocFileImport::ReportStatus::Opened);
  EXPECT_FALSE(doc.IsModified());
  EXPECT_TRUE(view.hints.empty());
  const QString report = Report();
  EXPECT_TRUE(report.startsWith(QStringLiteral(
      "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1040\\deftab708{\\fonttbl\r\n"
      "{\\f0\\froman\\fcharset0 Times New Roman;}\r\n"
      "{\\f1\\froman\\fprq2\\fcharset0 Times New Roman;}}\r\n"
      "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}\r\n"
      "{\\*\\generator Velotrix 2.1.25;}\r\n"
      "\\viewkind4\\uc1\\pard\\f0\\fs20 \\b Compare old Velotrix file (en.2.1.26)\\b0\\par\\b Now:\\b0\t 03/04/26 "
      "05:06:07\\par\r\n"
      "\\par\r\n"
      "\\b Actual file\\b0  D:\\\\a\\\\b.qel\\par\\b Version of the actual file:\\b0  NORV AXD1408 v2.10\\par\\par\r\n"
      "\\b File to compare:\\b0  C:\\\\old \\{v1\\}\\\\velocit\\'e0.vtx\\par\r\n"
      "\\b Version of the file to compare:\\b0 Version = NORV AXD1408 v2.10;\\par\\par\\par\r\n"
      "\\b Problem list:\\b0 \\par\r\n\\tab Empty list.\\par\\par\r\n"
      "\\b Actual parameter list:\\b0 \\par\\par\r\n\\tab Empty list.\\par\\par\r\n"
      "\\b Actual connections:\\b0 \\par\\par\r\n\\tab Empty list.\\par\r\n")))
      << report.toStdString();
  EXPECT_TRUE(GroupsBalanced(report));
  for (QChar c : report)
    ASSERT_LT(c.unicode(), 0x80) << "every character beyond ASCII is escaped";
  // The version reported is the compared file's own, when it has one.
  Run(QStringLiteral("#Norv tembrano v1.1\r\np9 max_speed=1500;\r\n"), true);
  EXPECT_TRUE(Report().contains(QStringLiteral("Version of the file to compare:\\b0 unknow\\par")));
}

// An older firmware moved blocks, so the links' targets moved; the names
// carry the links over.
QString MovedLinksFile()
{
  return OldFile(ExampleText("demo-full.vtx"))
      .Edit(QStringLiteral("b4 Current loop"), QStringLiteral(" b=30;"), QStringLiteral(" b=35;"))
      .Edit(QStringLiteral("w1 pos_actual"), QStringLiteral(" p=2;"), QStringLiteral(" p=7;"))
      .Edit(QStringLiteral("y0 motor_power"), QStringLiteral("motor_power"), QStringLiteral("old_power"))
      .Edit(QStringLiteral("p21 c_diag_rec1"), QStringLiteral("=200;"), QStringLiteral("=350;"))
      .Edit(QStringLiteral("p22 c_diag_rec2"), QStringLiteral("=300;"), QStringLiteral("=350;"))
      .Edit(QStringLiteral("p23 c_diag_rec3"), QStringLiteral("=104;"), QStringLiteral("=350;"))
      .Edit(QStringLiteral("p24 c_diag_rec4"), QStringLiteral("=400;"), QStringLiteral("=108;"))
      .Edit(QStringLiteral("p14 pos_source"), QStringLiteral("=102;"), QStringLiteral("=107;"))
      .Edit(QStringLiteral("p16 speed_ref_par"), QStringLiteral("=204;"), QStringLiteral("=352;"))
      .Edit(QStringLiteral("p13 analog_in_link"), QStringLiteral("=400;"), QStringLiteral("=9000;"))
      .Text();
}

TEST_F(Import, LinksFollowTheirTargetsByName)
{
  LoadExample();
  EXPECT_EQ(Run(MovedLinksFile(), false), CQelDocFileImport::ReportStatus::Opened);

  EXPECT_EQ(Value(C_DIAG_REC1), 300); // "current", old 350
  EXPECT_EQ(Value(C_DIAG_REC2), 300); // old 350 too: unchanged
  EXPECT_EQ(Value(C_DIAG_REC3), 300);
  EXPECT_EQ(Value(C_DIAG_REC4), 103);    // the high word of pos_actual (old 107, 108)
  EXPECT_EQ(Value(POS_SOURCE), 102);     // its low word, old 107
  EXPECT_EQ(Value(SPEED_REF_PAR), 302);  // "current_limit", old 352
  EXPECT_EQ(Value(POWER_SOURCE), 100);   // target renamed: kept
  EXPECT_EQ(Value(ANALOG_IN_LINK), 400); // old address names no line: kept
  EXPECT_TRUE(doc.IsModified());

  const QString report = Report();
  EXPECT_TRUE(
      report.contains(Row1.arg(QStringLiteral("analog_in_link"), QStringLiteral("analog_in1"), QString(),
                               QStringLiteral("Invalid link to variable")) +
                      Row1.arg(QStringLiteral("power_source"), QStringLiteral("motor_power"),
                               QStringLiteral("old_power (modbus=100)"), QStringLiteral("Invalid link to variable")) +
                      QStringLiteral("\\pard\\par")))
      << report.toStdString();
  EXPECT_TRUE(report.contains(
      QStringLiteral("\\b Imported parameter list:\\b0 \\par\\par\r\n\\tab Empty list.\\par\\par\r\n")));
  EXPECT_TRUE(report.contains(Row3.arg(QStringLiteral("speed_ref_par"), QStringLiteral("max_speed (modbus=352)"),
                                       QStringLiteral("current_limit (modbus=302)")) +
                              Row3.arg(QStringLiteral("c_diag_rec1"), QStringLiteral("speed_actual (modbus=350)"),
                                       QStringLiteral("current (modbus=300)")) +
                              Row3.arg(QStringLiteral("c_diag_rec3"), QStringLiteral("dc_voltage (modbus=350)"),
                                       QStringLiteral("current (modbus=300)")) +
                              Row3.arg(QStringLiteral("c_diag_rec4"), QStringLiteral("analog_in1 (modbus=108)"),
                                       QStringLiteral("pos_actual_HI (modbus=103)")) +
                              QStringLiteral("\\pard\\par\r\n}")))
      << report.toStdString();
  EXPECT_FALSE(report.contains(QStringLiteral("\\b pos_source\\b0"))); // same target as before
  EXPECT_TRUE(GroupsBalanced(report));
}

TEST_F(Import, CompareChangesNoValueButReportsTheSameDifferences)
{
  LoadExample();
  doc.SetStateFlags(CQelDocContainer::STATE_ONLINE); // a compare keeps the board connected
  std::vector<double> before;
  for (int i = 0; i < doc.GetParCount(); ++i)
    before.push_back(Value(i));
  EXPECT_EQ(Run(MovedLinksFile(), true), CQelDocFileImport::ReportStatus::Opened);
  for (int i = 0; i < doc.GetParCount(); ++i)
    EXPECT_EQ(Value(i), before[static_cast<std::size_t>(i)]) << i;
  EXPECT_FALSE(doc.IsModified());
  EXPECT_FALSE(doc.NeedsParListUpdate());
  const QString report = Report();
  EXPECT_TRUE(report.contains(QStringLiteral("Description\\cell Loaded\\cell Compared\\cell Note\\row\r\n")));
  EXPECT_TRUE(report.contains(Row3.arg(QStringLiteral("c_diag_rec4"), QStringLiteral("analog_in1 (modbus=108)"),
                                       QStringLiteral("pos_actual_HI (modbus=103)"))));
}

// The old values are the last values transferred with the board: a compare
// leaves them, the undo list and the modified flag as they are.
TEST_F(Import, CompareKeepsOldValuesUndoAndModifiedFlag)
{
  LoadExample();
  doc.WriteParValue(CURRENT_LIMIT, 260); // offline edits not yet written to the board
  doc.WriteParValue(MAX_SPEED, 1600);
  ASSERT_TRUE(doc.GetPar(CURRENT_LIMIT).IsChanged());
  doc.SetModifiedFlag(false);
  const QString old = OldFile(ExampleText("demo-full.vtx"))
                          .Edit(QStringLiteral("p10 current_limit"), QStringLiteral("=250;"), QStringLiteral("=251;"))
                          .Text();
  EXPECT_EQ(Run(old, true), CQelDocFileImport::ReportStatus::Opened);
  EXPECT_EQ(Value(CURRENT_LIMIT), 260);
  EXPECT_EQ(doc.GetPar(CURRENT_LIMIT).GetValue(Parametri::SEL_OLD), 250);
  EXPECT_EQ(doc.GetPar(MAX_SPEED).GetValue(Parametri::SEL_OLD), 1500);
  for (int i = 0; i < doc.GetParCount(); ++i) {
    EXPECT_EQ(doc.GetPar(i).IsChanged(), i == CURRENT_LIMIT || i == MAX_SPEED) << i;
    EXPECT_EQ(doc.GetPar(i).IsOfflineChange(), i == CURRENT_LIMIT || i == MAX_SPEED) << i;
  }
  EXPECT_EQ(doc.GetUndoList().size(), 2u);
  EXPECT_FALSE(doc.IsModified());
  EXPECT_TRUE(Report().contains(Row2(QStringLiteral("current_limit"), QStringLiteral("260"), QStringLiteral("251"))));
}

// A "#Norv tembrano v1.0" file numbers link targets within their storage kind.
QString NumberedLinksFile(const QString &header)
{
  return OldFile(ExampleText("demo-full.vtx"))
      .Set(QStringLiteral("#Norv"), header)
      .Edit(QStringLiteral("p21 c_diag_rec1"), QStringLiteral("=200;"), QStringLiteral("=1;")) // 16-bit no. 1: current
      .Edit(QStringLiteral("p14 pos_source"), QStringLiteral("=102;"),
            QStringLiteral("=0;")) // 32-bit no. 0: pos_actual
      .Edit(QStringLiteral("p15 power_source"), QStringLiteral("=100;"),
            QStringLiteral("=0;")) // float no. 0: motor_power
      .Edit(QStringLiteral("p16 speed_ref_par"), QStringLiteral("=204;"),
            QStringLiteral("=4;")) // 16-bit par no. 4: current_limit
      .Edit(QStringLiteral("p24 c_diag_rec4"), QStringLiteral("=400;"), QStringLiteral("=13;")) // no such number
      .Text();
}

TEST_F(Import, VersionOneZeroFilesNumberLinksWithinTheirKind)
{
  LoadExample();
  EXPECT_EQ(Run(NumberedLinksFile(QStringLiteral("#Norv tembrano v1.0")), false),
            CQelDocFileImport::ReportStatus::Opened);
  EXPECT_EQ(Value(C_DIAG_REC1), 300);
  EXPECT_EQ(Value(POS_SOURCE), 102);
  EXPECT_EQ(Value(POWER_SOURCE), 100);
  EXPECT_EQ(Value(SPEED_REF_PAR), 302);
  EXPECT_EQ(Value(C_DIAG_REC4), 400);
  const QString report = Report();
  EXPECT_TRUE(report.contains(
      Row3.arg(QStringLiteral("speed_ref_par"), QStringLiteral("max_speed"), QStringLiteral("current_limit")) +
      Row3.arg(QStringLiteral("c_diag_rec1"), QStringLiteral("speed_actual"), QStringLiteral("current")) +
      QStringLiteral("\\pard\\par")))
      << report.toStdString();
  EXPECT_TRUE(report.contains(Row1.arg(QStringLiteral("c_diag_rec4"), QStringLiteral("analog_in1"), QString(),
                                       QStringLiteral("Invalid link to variable"))));

  // Any other header reads the same numbers as register addresses.
  LoadExample();
  EXPECT_EQ(Run(NumberedLinksFile(QStringLiteral("#Norv tembrano v1.1")), false),
            CQelDocFileImport::ReportStatus::Opened);
  EXPECT_EQ(Value(C_DIAG_REC1), 1); // warning_flag sits at register 1
  EXPECT_EQ(Value(SPEED_REF_PAR), 204);
  EXPECT_EQ(doc.GetLastReportPath(), QDir(temp.path()).filePath(QStringLiteral("kx000001.rtf")));
}

TEST_F(Import, OldLinesAreMappedOnlyForKnownBlocksAndAddressesBelowTenThousand)
{
  struct Case {
    const char *what;
    const char *lines; // the old file after its header; vlink names "y" at 11 when mapped
  };
  const Case cases[] = {
      {"mapped", "b1 Main#0; b=1; a=0;\r\nv0 y; k=-1; b=1; p=1;\r\np1 vlink=11; b=1; p=0;\r\n"},
      {"item before its block", "v0 y; k=-1; b=1; p=1;\r\nb1 Main#0; b=1; a=0;\r\np1 vlink=11; b=1; p=0;\r\n"},
      {"block without base", "b1 Main#0; a=0;\r\nv0 y; k=-1; b=1; p=1;\r\np1 vlink=11; b=1; p=0;\r\n"},
      {"address 10000", "b1 Main#0; b=999; a=0;\r\nv0 y; k=-1; b=1; p=10;\r\np1 vlink=0; b=1; p=0;\r\n"},
      {"32-bit at 9999", "b1 Main#0; b=999; a=0;\r\nw0 y; k=-1; b=1; p=9;\r\np1 vlink=9999; b=1; p=0;\r\n"},
      {"negative address", "b1 Main#0; b=0; a=0;\r\nv0 y; k=-1; b=1; p=-3;\r\np1 vlink=0; b=1; p=0;\r\n"},
      {"negative item number", "b1 Main#0; b=1; a=0;\r\nv-1 y; k=-1; b=1; p=1;\r\np1 vlink=11; b=1; p=0;\r\n"},
      {"huge numbers", "b1 M#0; b=2147483647;\r\nv0 y; b=1; p=-2147483648;\r\nv1 y; b=-2147483648; p=1;\r\n"
                       "b\r\np\r\nv\r\n#\r\nV\r\np1 vlink=11;\r\n"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    ImportIntoSmallBoard(c.lines);
    const bool mapped = std::string(c.what) == "mapped";
    EXPECT_EQ(Value(1), mapped ? 11 : 10);
    EXPECT_EQ(
        Report().contains(QStringLiteral("\\b vlink\\b0 \\cell x\\cell \\cell \\cf2\\b Invalid link to variable")),
        !mapped);
  }
}

// A file cut inside an item line: read to its end, the line would take
// position 0 of its block, another item's register.
TEST_F(Import, ACutLastLineIsSkipped)
{
  LoadExample();
  QString cut = OldFile(ExampleText("demo-full.vtx"))
                    .Edit(QStringLiteral("p21 c_diag_rec1"), QStringLiteral("=200;"), QStringLiteral("=500;"))
                    .Text();
  const QString last = QStringLiteral("v14 buf_length; k=-1; n=-1; s=0; b=6; p=");
  cut.truncate(cut.indexOf(last) + last.size());
  Run(cut, false);
  EXPECT_EQ(Value(C_DIAG_REC1), 500); // sampling_time, not buf_length at 502

  ImportIntoSmallBoard("p2 dup=7; b=1; p=1;\r"); // a lone "\r" ends no line
  EXPECT_EQ(Value(2), 1);
  EXPECT_TRUE(Report().contains(
      Row1.arg(QStringLiteral("dup"), QStringLiteral("1"), QString(), QStringLiteral("Parameter not found"))));
}

TEST_F(Import, OnlyTheFirstOfTwoEqualNamesTakesTheValue)
{
  ImportIntoSmallBoard("p0 dup=7;\r\n");
  EXPECT_EQ(Value(2), 7);
  EXPECT_EQ(Value(3), 1);
  EXPECT_TRUE(Report().contains(
      Row1.arg(QStringLiteral("dup"), QStringLiteral("1"), QString(), QStringLiteral("Parameter not found"))));
}

TEST_F(Import, NonFiniteAndFarOffValuesAreNeverWritten)
{
  ImportIntoSmallBoard("f0 gain=nan;\r\np2 dup=1e999;\r\n");
  EXPECT_EQ(Value(0), 1.5);
  EXPECT_EQ(Value(2), 1);
  EXPECT_FALSE(doc.IsModified());
  const QString report = Report();
  EXPECT_TRUE(report.contains(Row1.arg(QStringLiteral("gain"), QStringLiteral(" 1.5"), QStringLiteral("nan"),
                                       QStringLiteral("Invalid value"))));
  EXPECT_TRUE(report.contains(
      Row1.arg(QStringLiteral("dup"), QStringLiteral("1"), QStringLiteral("1e999"), QStringLiteral("Invalid value"))))
      << report.toStdString();

  // A line cut short or holding text where the number belongs imports nothing.
  ImportIntoSmallBoard("f0 gain=2.5\r\np2 dup=abc;\r\n");
  EXPECT_EQ(Value(0), 1.5);
  EXPECT_EQ(Value(2), 1);
  EXPECT_FALSE(doc.IsModified());
  EXPECT_TRUE(Report().contains(
      Row1.arg(QStringLiteral("dup"), QStringLiteral("1"), QStringLiteral("abc"), QStringLiteral("Invalid value"))));

  // A float far beyond the float range is limited like an offline write.
  ImportIntoSmallBoard("f0 gain=1e300;\r\n");
  EXPECT_EQ(Value(0), 10);
}

TEST_F(Import, ALinkBeyondItsLimitsIsNotTaken)
{
  // wlink may hold 0..12: the old target "far" now sits at 15.
  ImportIntoSmallBoard("b1 Main#0; b=1; a=0;\r\nv0 far; k=-1; b=1; p=1;\r\np4 wlink=11;\r\n");
  EXPECT_EQ(Value(4), 12);
  EXPECT_TRUE(Report().contains(
      Row1.arg(QStringLiteral("wlink"), QStringLiteral("z"), QString(), QStringLiteral("Invalid link to variable"))));
}

TEST_F(Import, NearlyEqualIsARelativeTolerance)
{
  EXPECT_TRUE(CQelDocFileImport::NearlyEqual(0, 0));
  EXPECT_TRUE(CQelDocFileImport::NearlyEqual(1000, 1000 * (1 + 1e-7)));
  EXPECT_TRUE(CQelDocFileImport::NearlyEqual(-1e-9, -1e-9 * (1 - 1e-6)));
  EXPECT_FALSE(CQelDocFileImport::NearlyEqual(1, 1.0001));
  EXPECT_FALSE(CQelDocFileImport::NearlyEqual(0, 1e-300));
  EXPECT_FALSE(CQelDocFileImport::NearlyEqual(std::nan(""), std::nan("")));
  EXPECT_FALSE(CQelDocFileImport::NearlyEqual(1, HUGE_VAL));
}

TEST_F(Import, ReportNumbersFollowTheLargestAndNeverReplaceAFile)
{
  ASSERT_TRUE(WriteBytes(QDir(temp.path()).filePath(QStringLiteral("kx000003.rtf")), "three"));
  ASSERT_TRUE(WriteBytes(QDir(temp.path()).filePath(QStringLiteral("kx17.txt")), "seventeen"));
  ASSERT_TRUE(WriteBytes(QDir(temp.path()).filePath(QStringLiteral("report99.rtf")), "other"));
  EXPECT_EQ(ImportReport::LargestReportNumber(temp.path()), 17);
  QString error;
  const QString path = ImportReport::WriteReportFile(temp.path(), QStringLiteral("{\\rtf1 x}"), &error);
  EXPECT_EQ(path, QDir(temp.path()).filePath(QStringLiteral("kx000018.rtf")));
  EXPECT_EQ(ReadBytes(path), QByteArray("{\\rtf1 x}"));
  EXPECT_EQ(ReadBytes(QDir(temp.path()).filePath(QStringLiteral("kx000003.rtf"))), QByteArray("three"));
  // A dangling link counts as a taken number; it is never followed.
  const QString target = QDir(temp.path()).filePath(QStringLiteral("target"));
  ASSERT_TRUE(QFile::link(target, QDir(temp.path()).filePath(QStringLiteral("kx000019.rtf"))));
  EXPECT_EQ(ImportReport::WriteReportFile(temp.path(), QStringLiteral("y"), &error),
            QDir(temp.path()).filePath(QStringLiteral("kx000020.rtf")));
  EXPECT_FALSE(QFileInfo::exists(target));
}

TEST_F(Import, AReportThatCannotBeWrittenIsToldAndNotOpened)
{
  LoadExample();
  doc.SetTempFolder(QDir(temp.path()).filePath(QStringLiteral("missing")));
  const QString old = OldFile(ExampleText("demo-full.vtx"))
                          .Edit(QStringLiteral("p10 current_limit"), QStringLiteral("=250;"), QStringLiteral("=251;"))
                          .Text();
  EXPECT_EQ(Run(old, false), CQelDocFileImport::ReportStatus::NotWritten);
  EXPECT_EQ(Value(CURRENT_LIMIT), 251); // the import itself stands
  EXPECT_TRUE(doc.GetLastReportPath().isEmpty());
  EXPECT_TRUE(env.launcher().opened.isEmpty());
  const QStringList asked = AskedTexts(env.prompter());
  ASSERT_EQ(asked.size(), 1);
  EXPECT_TRUE(asked[0].startsWith(QStringLiteral("The report could not be written.\r\n")));
  EXPECT_TRUE(asked[0].contains(QStringLiteral("missing")));
}

TEST_F(Import, AViewerThatFailsLeavesTheReportInPlace)
{
  LoadExample();
  env.launcher().succeed = false;
  EXPECT_EQ(Run(SaveText(doc), false), CQelDocFileImport::ReportStatus::ViewerFailed);
  EXPECT_FALSE(doc.IsModified()); // nothing differed
  EXPECT_TRUE(QFileInfo::exists(doc.GetLastReportPath()));
  // The only result of the command is named, so it is not lost.
  EXPECT_EQ(AskedTexts(env.prompter()),
            QStringList({QStringLiteral("No program here opens the report. It is saved as\r\n") +
                         QDir::toNativeSeparators(doc.GetLastReportPath())}));
}

TEST_F(Import, EscapingKeepsEveryTextLiteral)
{
  using ImportReport::EscapeText;
  EXPECT_EQ(EscapeText(u"a\\b{c}d"), QStringLiteral("a\\\\b\\{c\\}d"));
  EXPECT_EQ(EscapeText(u"\u00e0\u20ac\t\u4e2d"), QStringLiteral("\\'e0\\'80\\tab \\u20013?"));
  EXPECT_EQ(ImportReport::EscapeNonAscii(u"Descrizione\\cell Velocit\u00e0\\row"),
            QStringLiteral("Descrizione\\cell Velocit\\'e0\\row"));
  EXPECT_EQ(ImportReport::Styled(u"{x}", ImportReport::STYLE_RED_BOLD), QStringLiteral("\\cf1\\b \\{x\\}\\b0\\cf0 "));
}

// A real RTF reader finds every cell of the report.
TEST_F(Import, UnrtfReadsEveryCell)
{
  const QString unrtf = QStandardPaths::findExecutable(QStringLiteral("unrtf"));
  if (unrtf.isEmpty())
    GTEST_SKIP() << "unrtf is not installed (scripts/install-deps.sh)";
  LoadExample();
  const QString old =
      OldFile(MovedLinksFile())
          .Edit(QStringLiteral("p9 max_speed"), QStringLiteral("=1500;"), QStringLiteral("=5000;"))
          .Edit(QStringLiteral("p11 control_mode"), QStringLiteral("control_mode"), QStringLiteral("modo"))
          .Text();
  doc.SetPathName(QStringLiteral("/boards/{new} \u00e0.vtx"));
  ASSERT_EQ(Run(old, false, QStringLiteral("/boards/old\\1.vtx")), CQelDocFileImport::ReportStatus::Opened);

  QProcess process;
  process.start(unrtf, {QStringLiteral("--text"), doc.GetLastReportPath()});
  ASSERT_TRUE(process.waitForFinished(30000));
  ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
  const QString text = Cp1252::Decode(process.readAllStandardOutput());
  const QStringList expected = {
      QStringLiteral("Import old Velotrix file (en.2.1.26)"),
      QStringLiteral("03/04/26 05:06:07"),
      QStringLiteral("/boards/{new} \u00e0.vtx"),
      QStringLiteral("/boards/old\\1.vtx"),
      QStringLiteral("NORV AXD1408 v2.10"),
      QStringLiteral("Old value"),
      QStringLiteral("Imported"),
      QStringLiteral("control_mode"),
      QStringLiteral("Parameter not found"),
      QStringLiteral("power_source"),
      QStringLiteral("motor_power"),
      QStringLiteral("old_power (modbus=100)"),
      QStringLiteral("Invalid link to variable"),
      QStringLiteral("max_speed"),
      QStringLiteral("1500"),
      QStringLiteral("5000"),
      QStringLiteral("stored as 3000 (limits 0 to 3000)"),
      QStringLiteral("c_diag_rec4"),
      QStringLiteral("analog_in1 (modbus=108)"),
      QStringLiteral("pos_actual_HI (modbus=103)"),
      QStringLiteral("speed_ref_par"),
      QStringLiteral("max_speed (modbus=352)"),
      QStringLiteral("current_limit (modbus=302)"),
      QStringLiteral("End of report."),
  };
  for (const QString &cell : expected)
    EXPECT_TRUE(text.contains(cell)) << cell.toStdString() << "\n" << text.toStdString();
}

} // namespace
