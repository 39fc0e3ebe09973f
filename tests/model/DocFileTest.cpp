// The document file, the description loader and the board description library.
#include "DescGenerator.h"
#include "DocFakes.h"

#include "model/QelDoc.h"
#include "model/generali.h"
#include "platform/Cp1252.h"
#include "platform/DocView.h"
#include "platform/SaveFile.h"
#include "platform/StringIds.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

const QString Header = QStringLiteral("#Norv tembrano v1.1\r\n");

// A board with every standard item, names in two more languages.
QString BoardText()
{
  return Header + QStringLiteral("Version = NORV TST0307 v1.0;\r\n"
                                 "Init = std;\r\n"
                                 "MODBUS = 5;\r\n"
                                 "L = 1;2;0;0;0;0;\r\n"
                                 "K[] = 4096;\r\n"
                                 "U[] = rpm;\r\n"
                                 "s0=[StdVariables#0]error_flag[StdVariables#1]warning_flag[StdVariables#2]status_flag["
                                 "StdVariables#3]cnt[trig_delay]trig_delay\r\n"
                                 "s0=Main;Main;diagn_ts;is_sw_set;trig_lev_pos;trig_lev_neg;trig_delay;error_flag;"
                                 "warning_flag;status_flag;win_cmd;sampling_time;buf_width;buf_length;cnt;\r\n"
                                 "sen=Main;Main;diagn_ts;is_sw_set;trig_lev_pos;trig_lev_neg;trig_delay;error_flag;"
                                 "warning_flag;status_flag;win_cmd;sampling_time;buf_width;buf_length;count;\r\n"
                                 "sit=Base;Base;diagn_ts;is_sw_set;trig_lev_pos;trig_lev_neg;trig_delay;error_flag;"
                                 "warning_flag;status_flag;win_cmd;sampling_time;buf_width;buf_length;contatore;\r\n"
                                 "sen=[trig_delay]trig_delay\r\n"
                                 "sit=[StdVariables#0]cnt[StdVariables#1]error_flag[StdVariables#2]warning_flag[error_"
                                 "flag]@error_flag[trig_delay]trig_delay\r\n"
                                 "b1 Main#0; b=0; a=0;\r\n"
                                 "p0 diagn_ts=1; m=1; d=1; M=100; k=-1; n=-1; s=0; b=1; p=0; v=0; a=0; u=-1;\r\n"
                                 "p1 is_sw_set=0; m=0; d=0; M=1; k=-1; n=-1; s=0; b=1; p=1; v=0; a=0; u=-1;\r\n"
                                 "p2 trig_lev_pos=1; m=0; d=0; M=10; k=-1; n=-1; s=0; b=1; p=2; v=0; a=0; u=-1;\r\n"
                                 "p3 trig_lev_neg=1; m=0; d=0; M=10; k=-1; n=-1; s=0; b=1; p=3; v=0; a=0; u=-1;\r\n"
                                 "p4 trig_delay=1; m=0; d=0; M=10; k=-1; n=-1; s=0; b=1; p=4; v=0; a=0; u=-1;\r\n"
                                 "w0 cnt; k=-1; n=-1; s=0; b=1; p=0; v=0; a=0; u=-1;\r\n"
                                 "v1 error_flag; k=-1; n=-1; s=0; b=1; p=2; v=0; a=0; u=-1;\r\n"
                                 "v2 warning_flag; k=-1; n=-1; s=0; b=1; p=3; v=0; a=0; u=-1;\r\n"
                                 "v3 status_flag; k=-1; n=-1; s=0; b=1; p=4; v=0; a=0; u=-1;\r\n"
                                 "v4 win_cmd; k=-1; n=-1; s=0; b=1; p=5; v=0; a=0; u=-1;\r\n"
                                 "v5 sampling_time; k=-1; n=-1; s=0; b=1; p=6; v=0; a=0; u=-1;\r\n"
                                 "v6 buf_width; k=-1; n=-1; s=0; b=1; p=7; v=0; a=0; u=-1;\r\n"
                                 "v7 buf_length; k=-1; n=-1; s=0; b=1; p=8; v=0; a=0; u=-1;\r\n"
                                 "\r\n");
}

class DocFile : public ::testing::Test {
protected:
  void SetUp() override { doc.SetHost(&host); }
  TestEnvironment env;
  FakeDocHost host;
  CQelDoc doc;
  // Opens files as the main frame does, into documents on this host.
  CDocTemplate tmpl{[this] {
                      auto d = std::make_unique<CQelDoc>();
                      d->SetHost(&host);
                      return d;
                    },
                    nullptr};
};

TEST_F(DocFile, ExamplesLoadSaveAndReloadByteExact)
{
  for (const char *name : {"demo-small.vtx", "demo-full.vtx"}) {
    SCOPED_TRACE(name);
    const QString path = ExamplePath(QString::fromLatin1(name));
    const QByteArray original = ReadBytes(path);
    ASSERT_FALSE(original.isEmpty());
    CQelDoc first;
    first.SetHost(&host);
    ASSERT_TRUE(first.OnOpenDocument(path));
    EXPECT_EQ(AskedTexts(env.prompter()), QStringList()) << "a realistic board has every standard item";
    EXPECT_GT(first.GetParCount(), 10);
    EXPECT_EQ(first.GetLanguageList(), (QStringList{"std", "en", "it"}));
    EXPECT_FALSE(first.FindDescriptionCopy(first.GetVersion()).isEmpty()) << "stored in the library";
    // The standard language, the one a fresh install shows, reads whole: it
    // has every English key/value text.
    const QHash<QString, QString> &standard = first.GetDictionary(0);
    const QHash<QString, QString> &english = first.GetDictionary(1);
    for (auto it = english.cbegin(); it != english.cend(); ++it)
      EXPECT_EQ(standard.value(it.key()), it.value()) << it.key().toStdString();
    const QString saved = host.dir.filePath(QStringLiteral("saved.vtx"));
    ASSERT_TRUE(first.OnSaveDocument(saved));
    EXPECT_EQ(ReadBytes(saved), original);
    CQelDoc second;
    second.SetHost(&host);
    ASSERT_TRUE(second.OnOpenDocument(saved));
    EXPECT_EQ(Cp1252::Encode(SaveText(second)), original);
  }
}

TEST_F(DocFile, GeneratedBoardLoadsWholeAndWritesBackTheSame)
{
  const DescShape shape{60, 40, 5};
  const QString text = GenerateDocument(shape);
  ASSERT_TRUE(LoadText(doc, text));
  EXPECT_EQ(AskedTexts(env.prompter()), QStringList());
  EXPECT_EQ(doc.GetRefusedLineCount(), 0);
  EXPECT_EQ(doc.GetParCount(), 60);
  EXPECT_EQ(doc.GetVarCount(), 40);
  EXPECT_EQ(doc.GetBlockCount(), 6);
  EXPECT_EQ(SaveText(doc), text);
  EXPECT_EQ(doc.SelectLanguage(QStringLiteral("en")), 1);
  EXPECT_EQ(doc.GetVar(0).GetNameText(), QStringLiteral("var_item_0_en"));
  EXPECT_EQ(doc.SelectLanguage(QStringLiteral("it")), 2);
  EXPECT_EQ(doc.GetVar(0).GetNameText(), QStringLiteral("var_item_0_it"));
  EXPECT_EQ(doc.SaveDescriptionCopy(), 1);
  EXPECT_FALSE(doc.FindDescriptionCopy(doc.GetVersion()).isEmpty());
}

TEST_F(DocFile, FullExampleHasEveryKindOfItem)
{
  host.language = QStringLiteral("it");
  ASSERT_TRUE(doc.OnOpenDocument(ExamplePath(QStringLiteral("demo-full.vtx"))));
  int kinds[3] = {};
  int varLinks = 0, parLinks = 0, bitFields = 0, enums = 0, readOnly = 0;
  for (const Parametri &p : doc.GetParameters()) {
    ++kinds[p.GetStorageType()];
    varLinks += p.IsVarLink();
    parLinks += p.IsParLink();
    bitFields += p.HasFlag4Only();
    enums += p.HasFlag8Only();
    readOnly += p.IsReadOnly();
  }
  EXPECT_GT(kinds[0] * kinds[1] * kinds[2], 0);
  EXPECT_GT(parLinks, 0);
  EXPECT_GT(bitFields, 0);
  EXPECT_GT(enums, 0);
  EXPECT_GT(readOnly, 0);
  EXPECT_GT(varLinks, 0);
  for (int i = 0; i < doc.GetParCount(); ++i) {
    if (doc.GetPar(i).IsLink()) {
      EXPECT_TRUE(doc.IsLinkValid(i, 0, false)) << doc.GetPar(i).GetName().toStdString();
    }
  }
  EXPECT_EQ(doc.GetLanguageName(), QStringLiteral("it"));
  EXPECT_EQ(doc.GetBlocks()[3].GetSelectedName(), QStringLiteral("Anello di velocit\u00e0"));
  std::int16_t mode = -1;
  ASSERT_TRUE(doc.FindParByName(mode, QStringLiteral("control_mode")));
  EXPECT_EQ(doc.GetPar(mode).GetNameText(), QStringLiteral("modo_controllo"));
  EXPECT_EQ(doc.Translate(doc.GetPar(mode).GetNameText() + QStringLiteral("#2"), {}), QStringLiteral("Posizione"));
  // "@" indirection: the Italian name of drive_state points at its keys.
  EXPECT_EQ(doc.Translate(QStringLiteral("stato_azion#2"), {}), QStringLiteral("Guasto"));
  // The trigger delay is found under its other name.
  EXPECT_GE(doc.GetTrigDelayPar(), 0);
  EXPECT_EQ(doc.GetStdVariables().size(), 6u);
  EXPECT_EQ(doc.GetStdVarRegisters(), 7); // five 16-bit, one 32-bit
  EXPECT_EQ(doc.GetSlaveAddress(), 3);
}

TEST_F(DocFile, BadHeaderRefusesTheOpen)
{
  const QString path = host.dir.filePath(QStringLiteral("bad.vtx"));
  QString text = BoardText();
  text.insert(Header.size() - 2, u' ');
  ASSERT_TRUE(WriteBytes(path, Cp1252::Encode(text)));
  EXPECT_EQ(tmpl.OpenDocumentFile(path), nullptr);
  EXPECT_EQ(AskedTexts(env.prompter()), QStringList{LoadStr(IDS_BAD_HEADER)});
  EXPECT_TRUE(QDir(host.program).entryList(QDir::Files).isEmpty()) << "no library copy";

  EXPECT_FALSE(doc.OnOpenDocument(path));
  EXPECT_EQ(doc.GetParCount(), 0);
  EXPECT_TRUE(doc.GetPathName().isEmpty());
  EXPECT_FALSE(doc.OnOpenDocument(host.dir.filePath(QStringLiteral("missing.vtx"))));
  EXPECT_EQ(AskedTexts(env.prompter()).size(), 2) << "an unreadable file fails silently";
}

TEST_F(DocFile, HostileFilesFailTheOpenAtOnceAndSilently)
{
  for (const QString &path : MakeHostileFiles(host.dir.path())) {
    SCOPED_TRACE(path.toStdString());
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(doc.OnOpenDocument(path));
    EXPECT_LT(clock.elapsed(), 2000);
  }
  EXPECT_EQ(AskedTexts(env.prompter()), QStringList());
  EXPECT_EQ(doc.GetParCount(), 0);
}

TEST_F(DocFile, DamagedLinesAreCountedReportedOnceAndKeepTheLibraryClean)
{
  const QString path = host.dir.filePath(QStringLiteral("damaged.vtx"));
  const QString copy = host.program + QStringLiteral("!NORV_TST0307_v1.0.vtx");
  // An empty line (counted) before a parameter whose index is not the next:
  // it and the two after it are refused; so is a table line without "=".
  QString text = BoardText();
  text.replace(QStringLiteral("p2 trig_lev_pos"), QStringLiteral("\r\np7 trig_lev_pos"));
  text.replace(QStringLiteral("w0 cnt;"), QStringLiteral("K[] 12;\r\nw0 cnt;"));
  ASSERT_TRUE(WriteBytes(path, Cp1252::Encode(text)));
  ASSERT_TRUE(doc.OnOpenDocument(path));
  EXPECT_EQ(doc.GetParCount(), 2);
  EXPECT_EQ(doc.GetRefusedLineCount(), 4);
  EXPECT_EQ(doc.GetFirstRefusedLine(), 18);
  // The names after the gap would be a neighbour's: none is handed out.
  EXPECT_EQ(doc.GetPar(1).GetNames(), QStringList{"is_sw_set"});
  const QStringList asked = AskedTexts(env.prompter());
  const QString report =
      LoadStrFormat(IDS_LINES_REFUSED, 4, 18) + QStringLiteral("\r\n") + LoadStr(IDS_NAMES_HELD_BACK);
  EXPECT_EQ(asked.count(report), 1);
  EXPECT_EQ(asked.front(), report) << "said before the standard items' boxes";
  EXPECT_FALSE(QFileInfo::exists(copy)) << "a damaged file is no library copy";

  // Nor is a file that describes nothing, nor a board text that does.
  ASSERT_TRUE(WriteBytes(path, "#Norv tembrano v1.1\r\nVersion = NORV TST0307 v1.0;\r\n"));
  ASSERT_TRUE(doc.OnOpenDocument(path));
  CDocArchive board = CDocArchive::FromText(QStringLiteral("Version = NORV TST0307 v1.0;\nK[] = 1;\n"));
  doc.ReadDocument(board);
  EXPECT_EQ(doc.SaveDescriptionCopy(), 0);
  EXPECT_FALSE(QFileInfo::exists(copy));

  // A clean file says nothing and is stored.
  const qsizetype before = env.prompter().asked.size();
  ASSERT_TRUE(WriteBytes(path, Cp1252::Encode(BoardText())));
  ASSERT_TRUE(doc.OnOpenDocument(path));
  EXPECT_EQ(doc.GetRefusedLineCount(), 0);
  EXPECT_EQ(qsizetype(env.prompter().asked.size()), before);
  EXPECT_TRUE(QFileInfo::exists(copy));
}

// Copies of the full example cut short or naming a block not loaded, opened
// with English selected. Read whole, the cut l3 would put pos_target on
// registers 0 and 1 (the command parameter's), so would a block-1 default
// put diagn_ts; names handed out by position would go to neighbours.
TEST_F(DocFile, ACutOrMisplacedFileIsExplainedFirstKeepsEveryItemInPlaceAndIsNoLibraryCopy)
{
  host.language = QStringLiteral("en");
  const QString whole = Cp1252::Decode(ReadBytes(ExamplePath(QStringLiteral("demo-full.vtx"))));
  CQelDoc ref;
  ASSERT_TRUE(LoadText(ref, whole));
  const int names = static_cast<int>(ref.GetBlocks().size()) + ref.GetParCount() + ref.GetVarCount();
  const QString copy = host.program + QStringLiteral("!NORV_AXD1408_v2.10.vtx");
  const QString path = host.dir.filePath(QStringLiteral("cut.vtx"));
  const QString heldBack = QStringLiteral("\r\n") + LoadStr(IDS_NAMES_HELD_BACK);
  const QString l3 = QStringLiteral("l3 pos_target=100000; m=-1000000; d=0; M=1000000; k=-1; n=-1;");
  auto upTo = [&](const QString &end) { return whole.left(whole.indexOf(end) + end.size()); };
  auto lineOf = [&](const QString &start) {
    return static_cast<int>(whole.left(whole.indexOf(start)).count(u'\n')) + 1;
  };
  QString p10 = whole;
  const qsizetype p10At = p10.indexOf(QStringLiteral("p10 current_limit=250; m=0; d=200; M=4"));
  p10.remove(p10At + 38, p10.indexOf(u'\r', p10At) - p10At - 38);
  const QString p17 = QStringLiteral("p17 diagn_ts=1; m=1; d=1; M=100; k=-1; n=-1; s=0; b=");
  auto replaced = [&](const QString &from, const QString &to) { return QString(whole).replace(from, to); };
  const struct {
    const char *what;
    QString text;
    int refused;   // lines
    int firstLine; // 0: none refused, the load is incomplete
  } cases[] = {
      {"right after a key's ';'", upTo(l3), 1, lineOf(l3)},
      {"inside a key", upTo(l3 + QStringLiteral(" s")), 1, lineOf(l3)},
      {"inside the last line", upTo(QStringLiteral("v14 buf_length; k=-1; n=-1; s=0; b=6; p=")), 1,
       lineOf(QStringLiteral("v14 "))},
      {"exactly at a line end", upTo(l3 + QStringLiteral(" s=0; b=2; p=0; v=1; a=0; u=-1;\r\n")), 0, 0},
      {"inside p10, the file going on", p10, 15, lineOf(QStringLiteral("p10 "))},
      // b6 refused: its items and the later ones of their lists go with it.
      {"the b6 line without its ';'", replaced(QStringLiteral("b=50; a=0;"), QStringLiteral("b=50; a=0")), 12,
       lineOf(QStringLiteral("b6 "))},
      {"diagn_ts on block 66", replaced(p17 + u'6', p17 + QStringLiteral("66")), 8, lineOf(p17)},
      {"diagn_ts on block 7, one past the last", replaced(p17 + u'6', p17 + u'7'), 8, lineOf(p17)},
      // Read as 16 bits these would be block 1 (-1), block 1 and block 6.
      {"diagn_ts on block 65535", replaced(p17 + u'6', p17 + QStringLiteral("65535")), 8, lineOf(p17)},
      {"diagn_ts on block 65537", replaced(p17 + u'6', p17 + QStringLiteral("65537")), 8, lineOf(p17)},
      {"diagn_ts on block 65542", replaced(p17 + u'6', p17 + QStringLiteral("65542")), 8, lineOf(p17)},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(WriteBytes(path, Cp1252::Encode(c.text)));
    env.prompter().asked.clear();
    ASSERT_TRUE(doc.OnOpenDocument(path));
    const int records = static_cast<int>(doc.GetBlocks().size()) + doc.GetParCount() + doc.GetVarCount();
    const QString explanation = (c.refused ? LoadStrFormat(IDS_LINES_REFUSED, c.refused, c.firstLine)
                                           : LoadStrFormat(IDS_DESC_INCOMPLETE, records, names)) +
                                heldBack;
    const QStringList asked = AskedTexts(env.prompter());
    ASSERT_FALSE(asked.isEmpty());
    EXPECT_EQ(asked.front(), explanation) << "before the standard items' boxes";
    EXPECT_EQ(asked.count(explanation), 1);
    EXPECT_EQ(doc.GetRefusedLineCount(), c.refused);
    // Each row is labelled with the item it writes, on that item's registers.
    for (int i = 0; i < doc.GetParCount(); ++i) {
      std::int16_t r = -1;
      ASSERT_TRUE(ref.FindParByName(r, doc.GetPar(i).GetName()));
      EXPECT_EQ(doc.GetPar(i).GetNameText(), doc.GetPar(i).GetName());
      EXPECT_EQ(doc.GetPar(i).GetAddress(), ref.GetPar(r).GetAddress()) << doc.GetPar(i).GetName().toStdString();
    }
    for (int i = 0; i < doc.GetVarCount(); ++i) {
      std::int16_t r = -1;
      ASSERT_TRUE(ref.FindVarByName(r, doc.GetVar(i).GetName()));
      EXPECT_EQ(doc.GetVar(i).GetNameText(), doc.GetVar(i).GetName());
      EXPECT_EQ(doc.GetVar(i).GetAddress(), ref.GetVar(r).GetAddress()) << doc.GetVar(i).GetName().toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(copy));
  }
  // A negative block is block 1, the line taken.
  ASSERT_TRUE(WriteBytes(path, Cp1252::Encode(replaced(p17 + u'6', p17 + QStringLiteral("-1")))));
  ASSERT_TRUE(doc.OnOpenDocument(path));
  EXPECT_EQ(doc.GetRefusedLineCount(), 0);
  std::int16_t diagnTs = -1;
  ASSERT_TRUE(doc.FindParByName(diagnTs, QStringLiteral("diagn_ts")));
  EXPECT_EQ(doc.GetPar(diagnTs).GetBlockId(), 1);
  QFile::remove(copy);
  // The whole file, and a copy of it with LF line ends, load without a word,
  // keep their English names and are stored.
  for (const QString &text : {whole, QString(whole).replace(QStringLiteral("\r\n"), QStringLiteral("\n"))}) {
    ASSERT_TRUE(WriteBytes(path, Cp1252::Encode(text)));
    env.prompter().asked.clear();
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_EQ(doc.GetRefusedLineCount(), 0);
    EXPECT_EQ(AskedTexts(env.prompter()), QStringList());
    EXPECT_EQ(doc.GetPar(3).GetNames().size(), 3);
    EXPECT_TRUE(QFile::remove(copy)) << "the whole file is stored";
  }
}

// Taken in part, an address no board answers from would reach another
// board: the line is damaged. Not taking the address, nothing is refused.
TEST_F(DocFile, ASlaveAddressOutsideOneTo247IsARefusedLine)
{
  const QString path = host.dir.filePath(QStringLiteral("address.vtx"));
  const QString copy = host.program + QStringLiteral("!NORV_TST0307_v1.0.vtx");
  const struct {
    const char *address;
    int taken;
  } cases[] = {{"259", 247}, {"0", 247}, {"248", 247}, {"-3", 247}, {"1", 1}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.address);
    const bool refused = c.taken == 247;
    QString text = BoardText();
    text.replace(QStringLiteral("MODBUS = 5;"), QStringLiteral("MODBUS = %1;").arg(QLatin1StringView(c.address)));
    ASSERT_TRUE(WriteBytes(path, Cp1252::Encode(text)));
    CQelDoc opened;
    opened.SetHost(&host);
    env.prompter().asked.clear();
    ASSERT_TRUE(opened.OnOpenDocument(path));
    EXPECT_EQ(opened.GetSlaveAddress(), c.taken);
    // Names are not held back for it: no item moved.
    EXPECT_EQ(AskedTexts(env.prompter()),
              refused ? QStringList{LoadStrFormat(IDS_LINES_REFUSED, 1, 4)} : QStringList());
    EXPECT_EQ(QFile::remove(copy), !refused) << "a damaged file is no library copy";
    opened.SetTakeSlaveAddress(false);
    ASSERT_TRUE(opened.OnOpenDocument(path));
    EXPECT_EQ(opened.GetRefusedLineCount(), 0);
    EXPECT_EQ(opened.GetSlaveAddress(), c.taken);
    EXPECT_TRUE(QFile::remove(copy));
  }
}

TEST_F(DocFile, OldHeaderLoadsAndIsWrittenNew)
{
  QString text = BoardText();
  text.replace(QStringLiteral("v1.1\r\n"), QStringLiteral("v1.0\r\n"));
  const QString path = host.dir.filePath(QStringLiteral("old.qel"));
  ASSERT_TRUE(WriteBytes(path, Cp1252::Encode(text)));
  auto *opened = qobject_cast<CQelDoc *>(tmpl.OpenDocumentFile(path));
  ASSERT_NE(opened, nullptr);
  EXPECT_EQ(opened->GetTitle(), QFileInfo(path).absoluteFilePath());
  EXPECT_EQ(SaveText(*opened), BoardText());
  EXPECT_EQ(AskedTexts(env.prompter()), QStringList());
}

TEST_F(DocFile, LibraryCopyIsWrittenOnceAndFallsBackToTheUserFolder)
{
  ASSERT_TRUE(LoadText(doc, BoardText()));
  EXPECT_EQ(CQelDocContainer::DescriptionCopyName(QStringLiteral("A B;C/D")), QStringLiteral("!A_B_C_D.vtx"));
  EXPECT_EQ(doc.SaveDescriptionCopy(), 1);
  const QString copy = host.program + QStringLiteral("!NORV_TST0307_v1.0.vtx");
  EXPECT_EQ(ReadBytes(copy), Cp1252::Encode(BoardText()));
  EXPECT_EQ(doc.FindDescriptionCopy(QStringLiteral("NORV TST0307 v1.0")), copy);
  ASSERT_TRUE(WriteBytes(copy, "kept"));
  EXPECT_EQ(doc.SaveDescriptionCopy(), 1);
  EXPECT_EQ(ReadBytes(copy), QByteArray("kept"));

  // A program folder that cannot be written sends the copy to the user folder.
  QFile::remove(copy);
  host.program = host.dir.filePath(QStringLiteral("no-such-folder")) + u'/';
  EXPECT_EQ(doc.SaveDescriptionCopy(), 1);
  EXPECT_TRUE(QFileInfo::exists(host.user + QStringLiteral("!NORV_TST0307_v1.0.vtx")));
  EXPECT_FALSE(doc.FindDescriptionCopy(QStringLiteral("NORV TST0307 v1.0")).isEmpty());
}

TEST_F(DocFile, FailedSaveKeepsTheOldFileAndSaysSo)
{
  // A write that fails after the file was made, as on a full disk.
  ASSERT_TRUE(LoadText(doc, BoardText()));
  const QString path = host.dir.filePath(QStringLiteral("board.vtx"));
  const QByteArray old = ReadBytes(ExamplePath(QStringLiteral("demo-small.vtx")));
  ASSERT_TRUE(WriteBytes(path, old));
  doc.SetModifiedFlag(true);
  env.prompter().AnswerFile(path);
  {
    const FileSizeLimit limit(1000);
    EXPECT_FALSE(doc.DoSave(QString(), true));
  }
  EXPECT_EQ(ReadBytes(path), old);
  EXPECT_EQ(AskedTexts(env.prompter()).last(), vtx::SaveErrorText(vtx::SaveError::FileTooLarge, path));
  EXPECT_TRUE(doc.IsModified());
  EXPECT_TRUE(doc.GetPathName().isEmpty());
  EXPECT_EQ(QDir(host.dir.path()).entryList({QStringLiteral("board.vtx*")}, QDir::Files | QDir::Hidden),
            QStringList{QStringLiteral("board.vtx")})
      << "no temporary file is left";

  // A name that cannot be replaced.
  EXPECT_FALSE(doc.OnSaveDocument(host.dir.path()));
  EXPECT_EQ(AskedTexts(env.prompter()).last(), vtx::SaveErrorText(vtx::SaveError::CannotReplace, host.dir.path()));
}

TEST_F(DocFile, SaveAlwaysAsksAndProposesTitleOrPath)
{
  ASSERT_TRUE(doc.OnNewDocument());
  EXPECT_EQ(doc.GetTitle(), QStringLiteral("New"));
  EXPECT_FALSE(doc.DoSave(QString(), true)); // cancelled
  ASSERT_EQ(env.prompter().asked.size(), 1u);
  const FileDialogRequest &first = env.prompter().asked[0].file;
  EXPECT_FALSE(first.open);
  EXPECT_EQ(first.initialPath, QStringLiteral("New"));
  EXPECT_EQ(first.defaultExtension, QStringLiteral("vtx"));
  EXPECT_EQ(first.filter, LoadStr(IDS_FILTER));

  doc.SetTitle(QStringLiteral("drive A#2"));
  doc.DoSave(QString(), true);
  EXPECT_EQ(env.prompter().asked.back().file.initialPath, QStringLiteral("drive"));

  ASSERT_TRUE(LoadText(doc, BoardText()));
  const QString path = host.dir.filePath(QStringLiteral("named.vtx"));
  env.prompter().AnswerFile(path);
  ASSERT_TRUE(doc.DoSave(QString(), true));
  EXPECT_EQ(doc.GetPathName(), path);
  EXPECT_EQ(doc.GetTitle(), path);
  EXPECT_EQ(ReadBytes(path), Cp1252::Encode(BoardText()));
  doc.DoSave(QString(), true);
  EXPECT_EQ(env.prompter().asked.back().file.initialPath, path);
}

TEST_F(DocFile, EveryLineKindIsRead)
{
  HintView view;
  doc.AddView(&view);
  ASSERT_TRUE(LoadText(doc, BoardText()));
  EXPECT_EQ(doc.GetVersion(), QStringLiteral("NORV TST0307 v1.0"));
  EXPECT_EQ(doc.GetSlaveAddress(), 5);
  EXPECT_EQ(doc.GetParCount(), 5);
  EXPECT_EQ(doc.GetVarCount(), 8);
  ASSERT_EQ(doc.GetVarRows().size(), 6u);
  EXPECT_EQ(doc.GetVarRows()[0].index, 1);
  EXPECT_EQ(doc.GetVarRows()[1].index, 2);
  EXPECT_EQ(doc.GetVarRows()[5].index, 0);
  EXPECT_TRUE(doc.NeedsVarListRefill());
  EXPECT_TRUE(doc.AreDescriptionsLoaded());
  EXPECT_EQ(doc.GetExtraLines().size(), 6);
  EXPECT_EQ(view.hints.front(), 0xF800);
  EXPECT_NE(std::find(view.hints.begin(), view.hints.end(), 0x0800), view.hints.end());
  EXPECT_EQ(doc.GetManualName(), QStringLiteral("No help file"));

  // Blanks and semicolons around the version; a kept comment; no header kept.
  doc.SetTakeSlaveAddress(false);
  ASSERT_TRUE(LoadText(doc, Header + QStringLiteral("Version =    X Y;;\r\nMODBUS = 12;\r\n#note\r\n"
                                                    "#Norv tembrano v1.0\r\nZ other\r\n")));
  EXPECT_EQ(doc.GetVersion(), QStringLiteral("X Y"));
  EXPECT_EQ(doc.GetSlaveAddress(), 5);
  EXPECT_EQ(doc.GetExtraLines(), (QStringList{"#note", "Z other"}));
  // Without an "L" line the rows show variables 0..5, which do not exist
  // here: they keep their numbers and are skipped.
  for (std::size_t i = 0; i < doc.GetVarRows().size(); ++i) {
    EXPECT_EQ(doc.GetVarRows()[i].index, int(i));
    EXPECT_FALSE(doc.IsVarRowValid(i));
  }
  EXPECT_TRUE(SaveText(doc).contains(QStringLiteral("\r\nL = 0;1;2;3;4;5;\r\n")));
}

// Rows keep the index read, one that names no variable too, through a save
// and a reload; a short line zeroes the rows it does not name.
TEST_F(DocFile, RowsKeepTheIndexReadThroughLoadAndSave)
{
  const auto rows = [this] {
    std::vector<int> out;
    for (const VarRowRecord &row : doc.GetVarRows())
      out.push_back(row.index);
    return out;
  };
  // Eight variables: 9, -1 and 70000 name none of them.
  QString text = BoardText();
  text.replace(QStringLiteral("L = 1;2;0;0;0;0;"), QStringLiteral("L = 9;3;-1;70000;7;8;"));
  ASSERT_TRUE(LoadText(doc, text));
  EXPECT_EQ(rows(), (std::vector<int>{9, 3, -1, 70000, 7, 8}));
  const std::vector<bool> valid{false, true, false, false, true, false};
  for (std::size_t i = 0; i < valid.size(); ++i)
    EXPECT_EQ(doc.IsVarRowValid(i), valid[i]) << i;
  EXPECT_FALSE(doc.IsVarRowValid(6));
  EXPECT_EQ(SaveText(doc), text);
  ASSERT_TRUE(LoadText(doc, SaveText(doc)));
  EXPECT_EQ(SaveText(doc), text);

  text.replace(QStringLiteral("L = 9;3;-1;70000;7;8;"), QStringLiteral("L = 3; 7;"));
  ASSERT_TRUE(LoadText(doc, text));
  EXPECT_EQ(rows(), (std::vector<int>{3, 7, 0, 0, 0, 0}));
  EXPECT_TRUE(SaveText(doc).contains(QStringLiteral("\r\nL = 3;7;0;0;0;0;\r\n")));
}

TEST_F(DocFile, SixteenBitNumbersRoundTripAsTheirRegister)
{
  QString text = BoardText();
  text.replace(QStringLiteral("p1 is_sw_set=0; m=0; d=0; M=1;"),
               QStringLiteral("p1 is_sw_set=40000; m=-32768; d=40000; M=32767;"));
  ASSERT_TRUE(LoadText(doc, text));
  EXPECT_EQ(doc.GetPar(1).GetValueString(Parametri::SEL_VALUE), QStringLiteral("-25536"));
  QString expected = text;
  expected.replace(QStringLiteral("is_sw_set=40000; m=-32768; d=40000;"),
                   QStringLiteral("is_sw_set=-25536; m=-32768; d=-25536;"));
  EXPECT_EQ(SaveText(doc), expected);
  // The same register loads again from what was written.
  ASSERT_TRUE(LoadText(doc, expected));
  EXPECT_EQ(doc.GetPar(1).GetValue(Parametri::SEL_VALUE), -25536);
  EXPECT_EQ(SaveText(doc), expected);
}

// A reload forgets the description before: its undo records, names, standard
// items, units and the items queued for the next poll.
TEST_F(DocFile, ReloadStartsClean)
{
  ASSERT_TRUE(LoadText(doc, BoardText()));
  doc.WriteParValue(1, 7);
  ASSERT_EQ(doc.GetUndoList().size(), 1u);
  const QString once = SaveText(doc);
  ASSERT_TRUE(LoadText(doc, BoardText()));
  EXPECT_TRUE(doc.GetUndoList().empty());
  EXPECT_EQ(doc.GetExtraLines().size(), 6);
  EXPECT_EQ(doc.GetStdVariables().size(), 4u);
  EXPECT_EQ(doc.GetPar(1).GetNames().size(), 3); // names of en and it once
  EXPECT_EQ(SaveText(doc), BoardText());
  EXPECT_NE(once, BoardText());
  // The standard item look-up runs again from scratch.
  ASSERT_EQ(doc.GetStdVarRegisters(), 5); // cnt is 32-bit
  doc.LocateStdVariables();
  EXPECT_EQ(doc.GetStdVariables().size(), 4u);
  EXPECT_EQ(doc.GetStdVarRegisters(), 5);
  EXPECT_EQ(doc.GetErrorFlagSlot(), 0);
  EXPECT_TRUE(AskedTexts(env.prompter()).isEmpty());

  // A smaller description: the old poll indexes would name nothing, or another item.
  ASSERT_EQ(doc.GetUnitCount(), 1);
  doc.AddExtraPollPar(0);
  doc.AddExtraPollPar(4);
  doc.AddExtraPollVar(5);
  doc.AddExtraPollVar(7);
  const QString other = Header + QStringLiteral("Version = X;\r\nInit = std;\r\nMODBUS = 5;\r\nL = 0;0;0;0;0;0;\r\n"
                                                "K[] = 1;\r\nb1 B#0; b=0; a=0;\r\n"
                                                "v0 x; k=-1; n=-1; s=0; b=1; p=0; v=0; a=0; u=-1;\r\n\r\n");
  ASSERT_TRUE(LoadText(doc, other));
  EXPECT_TRUE(doc.GetExtraPollPars().empty());
  EXPECT_TRUE(doc.GetExtraPollVars().empty());
  EXPECT_EQ(doc.GetUnitCount(), 0);
  EXPECT_EQ(SaveText(doc), other);
}

TEST_F(DocFile, LanguagesAndDictionariesOfTenLanguagesAtMost)
{
  host.language = QStringLiteral("IT");
  ASSERT_TRUE(LoadText(doc, BoardText()));
  EXPECT_EQ(doc.GetLanguageIndex(), 2);
  EXPECT_EQ(doc.GetVar(0).GetNameText(), QStringLiteral("contatore"));
  EXPECT_EQ(doc.GetBlockNames()[1], QStringLiteral("Base"));
  EXPECT_TRUE(doc.GetBlockNames()[0].isEmpty());
  EXPECT_EQ(doc.GetVarNames()[0], QStringLiteral("contatore"));
  EXPECT_EQ(doc.GetErrorFlagSlot(), 1) << "found through the '@' text";
  EXPECT_EQ(doc.GetWarningFlagSlot(), 2);

  HintView view;
  doc.AddView(&view);
  doc.ClearParTreeRebuild();
  EXPECT_EQ(doc.SelectLanguage(QStringLiteral("en")), 1);
  EXPECT_EQ(doc.GetVar(0).GetNameText(), QStringLiteral("count"));
  EXPECT_EQ(doc.GetParNames()[0], QStringLiteral("diagn_ts"));
  EXPECT_EQ(doc.GetVarTreeMap().at(0).GetText(), QStringLiteral("count"));
  EXPECT_EQ(doc.GetParTreeMap().at(-1).GetText(), QStringLiteral("Main"));
  EXPECT_TRUE(doc.NeedsParTreeRebuild());
  EXPECT_EQ(view.hints, std::vector<long>{0xF800});
  EXPECT_EQ(SaveText(doc).section(u'\n', 2, 2), QStringLiteral("Init = en;\r"));

  // A count that does not divide: the message, no names, the load goes on.
  const qsizetype before = AskedTexts(env.prompter()).size();
  ASSERT_TRUE(LoadText(doc, Header + QStringLiteral("K[] = 1;\r\nsen=a;b;c;d;e;\r\nb1 B#0; b=0;\r\n"
                                                    "v0 x; b=1; p=0;\r\n")));
  EXPECT_EQ(AskedTexts(env.prompter()).at(before), QStringLiteral("Dimensioni non valide del vocabolario: 5 2"));
  EXPECT_EQ(doc.GetVar(0).GetNames().size(), 1);
  EXPECT_EQ(doc.GetVarCount(), 1);
  EXPECT_EQ(doc.SelectLanguage(QStringLiteral("en")), 1);
  EXPECT_EQ(doc.GetVar(0).GetNameText(), QStringLiteral("x"));

  // More names than records: a line went missing, so no name is handed out,
  // one box says so first and the load is no library copy.
  env.prompter().asked.clear();
  ASSERT_TRUE(LoadText(doc, Header + QStringLiteral("K[] = 1;\r\nb1 B#0; b=0;\r\nv0 x; b=1; p=0;\r\n"
                                                    "s0=B;B;x;extra;\r\nsen=B1;B1;x1;extra1;\r\n")));
  EXPECT_EQ(doc.GetVar(0).GetNames(), QStringList{"x"});
  EXPECT_EQ(doc.GetBlocks()[1].GetNames(), QStringList{"B"});
  EXPECT_EQ(AskedTexts(env.prompter()).front(),
            LoadStrFormat(IDS_DESC_INCOMPLETE, 3, 4) + QStringLiteral("\r\n") + LoadStr(IDS_NAMES_HELD_BACK));
  EXPECT_EQ(doc.SaveDescriptionCopy(), 0);

  // Eleven languages keep ten.
  QString text = Header + QStringLiteral("K[] = 1;\r\nb1 B#0; b=0;\r\nv0 x; b=1; p=0;\r\n");
  const char *codes[] = {"aa", "bb", "cc", "dd", "ee", "ff", "gg", "hh", "ii", "jj"};
  for (const char *c : codes)
    text += QStringLiteral("s%1=[k_%1]v\r\n").arg(QLatin1String(c));
  ASSERT_TRUE(LoadText(doc, text));
  EXPECT_EQ(doc.GetLanguageCount(), 10);
  EXPECT_TRUE(doc.GetDictionary(9).contains(QStringLiteral("k_ii")));
  EXPECT_FALSE(doc.GetDictionary(9).contains(QStringLiteral("k_jj")));
  EXPECT_EQ(doc.GetExtraLines().size(), 10) << "the dropped line is still kept";
}

TEST_F(DocFile, MissingStandardItemsAreReportedInOrderAndSlotsNeedTheirVariable)
{
  ASSERT_TRUE(LoadText(doc, Header + QStringLiteral("K[] = 1;\r\nb1 B#0; b=0;\r\nv0 x; b=1; p=0;\r\n"
                                                    "s0=[StdVariables#0]nothing[trig_delay]\r\n")));
  QStringList expected;
  for (unsigned id = 670; id <= 681; ++id)
    expected << LoadStr(id);
  EXPECT_EQ(AskedTexts(env.prompter()), expected);
  EXPECT_TRUE(doc.GetStdVariables().empty());
  EXPECT_EQ(doc.GetSwSetPar(), 0);
  EXPECT_EQ(doc.GetErrorFlagSlot(), -1);

  // StdVariables#0 names error_flag, which this board lacks: no slot, no list.
  env.prompter().asked.clear();
  ASSERT_TRUE(LoadText(doc, Header + QStringLiteral("K[] = 1;\r\nb1 B#0; b=0;\r\nv0 x; b=1; p=0;\r\n"
                                                    "s0=[StdVariables#0]error_flag\r\n")));
  EXPECT_EQ(doc.GetErrorFlagSlot(), -1);
  EXPECT_TRUE(doc.GetStdVariables().empty());
  EXPECT_TRUE(AskedTexts(env.prompter()).contains(LoadStr(IDS_ERROR_FLAG_NOT_FOUND)));
}

TEST_F(DocFile, DescriptionLoadedReachesTheFrameOnceTheLoadIsOver)
{
  FakeAnswerWindow frame;
  doc.SetAnswerWindow(&frame);
  ASSERT_TRUE(LoadText(doc, BoardText()));
  EXPECT_EQ(frame.loaded, 0);
  QCoreApplication::processEvents();
  EXPECT_EQ(frame.loaded, 1);
  ASSERT_TRUE(LoadText(doc, BoardText()));
  doc.SetAnswerWindow(nullptr);
  QCoreApplication::processEvents();
  EXPECT_EQ(frame.loaded, 1);
}

TEST_F(DocFile, ArchiveReadsLinesAsTheyStand)
{
  CDocArchive ar = CDocArchive::FromBytes(QByteArray("a\r\nb\n\r\nc\rd\n\xe0"));
  QStringList lines;
  QString line;
  while (ar.ReadString(line))
    lines << line;
  EXPECT_EQ(lines, (QStringList{"a", "b", "", "c\rd", QStringLiteral("\u00e0")}));
  CDocArchive out;
  out.WriteLine(QStringLiteral("\u00e0"));
  EXPECT_EQ(out.GetBytes(), QByteArray("\xe0\r\n"));
}

} // namespace
