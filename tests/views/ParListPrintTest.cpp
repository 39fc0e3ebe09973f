#include "PrintTestSupport.h"

#include "views/ParListPrint.h"
#include "views/PrintSetup.h"

#include "model/generali.h"
#include "platform/Format.h"
#include "platform/SaveFile.h"

#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QPainter>
#include <QPicture>
#include <QRegularExpression>

namespace {

QStringList Pages(const QString &text)
{
  QStringList pages = text.split(u'\f');
  if (!pages.isEmpty() && pages.back().trimmed().isEmpty())
    pages.removeLast();
  return pages;
}

bool HasWord(const QString &text, const QString &word)
{
  return text.contains(
      QRegularExpression(QStringLiteral("(^|\\s)") + QRegularExpression::escape(word) + QStringLiteral("(\\s|$)")));
}

// The line of a page that holds the word, or empty.
QString LineOf(const QString &page, const QString &word)
{
  for (const QString &line : page.split(u'\n'))
    if (HasWord(line, word))
      return line;
  return {};
}

// The geometry a job finds on the printer.
ParListPrintGeometry GeometryOn(const CQelDoc &doc, QPrinter &printer)
{
  CParListPrint job(doc);
  CPrintInfo info;
  EXPECT_TRUE(job.OnBeginPrinting(printer, info));
  EXPECT_EQ(info.GetMaxPage(), job.GetGeometry().nPages);
  return job.GetGeometry();
}

} // namespace

TEST(ParListPrintGeometry, FontRowsAndPagesFollowTheDevice)
{
  // An 8-point font in device pixels, rounded as MulDiv rounds.
  EXPECT_EQ(CParListPrint::CharHeight(72), 8);
  EXPECT_EQ(CParListPrint::CharHeight(96), 11);
  EXPECT_EQ(CParListPrint::CharHeight(300), 33);
  EXPECT_EQ(CParListPrint::CharHeight(1200), 133);

  EXPECT_EQ(CParListPrint::RowsPerHalfPage(3508, 45), 73);
  // A page too short for a row still takes one row per half.
  EXPECT_EQ(CParListPrint::RowsPerHalfPage(200, 45), 1);
  EXPECT_EQ(CParListPrint::RowsPerHalfPage(0, 45), 1);
  EXPECT_EQ(CParListPrint::RowsPerHalfPage(3508, 0), 1);

  EXPECT_EQ(CParListPrint::PageCount(0, 45), 1);
  EXPECT_EQ(CParListPrint::PageCount(90, 45), 1);
  EXPECT_EQ(CParListPrint::PageCount(91, 45), 2);
  EXPECT_EQ(CParListPrint::PageCount(180, 45), 2);
  EXPECT_EQ(CParListPrint::PageCount(181, 45), 3);
  EXPECT_EQ(CParListPrint::PageCount(3000, 1), 1500);
}

TEST(ParListPrint, LargeBoardPrintsEveryParameterInTwoHalvesPerPage)
{
  if (!HavePdfToText())
    GTEST_SKIP() << "pdftotext is not installed";
  TestEnvironment env;
  GeneratedBoard board(3000);
  ASSERT_TRUE(board.loaded);
  const QString pdf = board.dir.filePath(QStringLiteral("out.pdf"));
  auto printer = MakePdfPrinter(pdf, 300);
  const ParListPrintGeometry g = GeometryOn(board.doc, *printer);
  // A4 at 300 dpi: 8 points are 33 pixels, the row 33 + 2 * 6.
  EXPECT_EQ(g.nCharHeight, 33);
  EXPECT_EQ(g.nRowHeight, 45);
  EXPECT_EQ(g.nRowsPerHalf, (printer->height() - 40) / 45 - 4);
  const int perPage = 2 * g.nRowsPerHalf;
  EXPECT_EQ(g.nPages, (3000 + perPage - 1) / perPage);

  ASSERT_EQ(CParListPrint::PrintParList(board.doc, *printer), vtx::SaveError::None);
  const QStringList pages = Pages(PdfText(pdf));
  ASSERT_EQ(pages.size(), g.nPages);

  const QString first = pages.front();
  EXPECT_TRUE(first.contains(vtx::Format(u"PAGE %1d of %1d", 1, g.nPages)));
  EXPECT_TRUE(HasWord(first, QStringLiteral("large.vtx")));
  for (const char *header : {"N", "Parameter", "SI value", "M.U.", "UI value"})
    EXPECT_TRUE(first.contains(QString::fromLatin1(header))) << header;
  // The right half of page 1 starts with parameter rows-per-half, beside parameter 0.
  const QString row0 = LineOf(first, board.doc.GetPar(0).GetNameText());
  EXPECT_TRUE(HasWord(row0, board.doc.GetPar(g.nRowsPerHalf).GetNameText())) << row0.toStdString();
  EXPECT_TRUE(pages.back().contains(vtx::Format(u"PAGE %1d of %1d", g.nPages, g.nPages)));

  // Every parameter on its page, in document order.
  for (int i = 0; i < 3000; ++i) {
    const QString &page = pages[i / perPage];
    ASSERT_TRUE(HasWord(page, board.doc.GetPar(i).GetNameText())) << i;
  }
}

TEST(ParListPrint, RowTextsOfPlainAndLinkParameters)
{
  if (!HavePdfToText())
    GTEST_SKIP() << "pdftotext is not installed";
  TestEnvironment env;
  GeneratedBoard board(240);
  ASSERT_TRUE(board.loaded);
  CQelDoc &doc = board.doc;
  int plain = -1, validLink = -1, badLink = -1, withUnit = -1;
  for (int i = 0; i < doc.GetParCount(); ++i) {
    const Parametri &p = doc.GetPar(i);
    if (p.IsVarLink()) {
      (doc.IsLinkValid(i, 0, false) ? validLink : badLink) = i;
    } else if (!p.IsParLink() && p.IsShort()) {
      (doc.IsUnitValid(p.GetUnit()) ? withUnit : plain) = i;
    }
  }
  ASSERT_GE(validLink, 0);
  ASSERT_GE(badLink, 0);
  ASSERT_GE(withUnit, 0);
  ASSERT_GE(plain, 0);

  const QString pdf = board.dir.filePath(QStringLiteral("rows.pdf"));
  auto printer = MakePdfPrinter(pdf, 300);
  ASSERT_EQ(CParListPrint::PrintParList(doc, *printer), vtx::SaveError::None);
  const QString text = PdfText(pdf);

  // Key, name, SI text, unit, "%g" of the value, left to right.
  auto expectRow = [&](int par, const QString &si, const QString &unit) {
    const Parametri &p = doc.GetPar(par);
    const QString line = LineOf(text, p.GetNameText());
    ASSERT_FALSE(line.isEmpty()) << par;
    qsizetype at = line.indexOf(p.GetAddressKey());
    for (const QString &part : {p.GetNameText(), si, unit, vtx::Format(u"%g", p.GetValue(0))}) {
      if (part.isEmpty())
        continue;
      const qsizetype next = line.indexOf(part, at);
      ASSERT_GT(next, at) << par << " " << part.toStdString() << " in: " << line.toStdString();
      at = next;
    }
  };
  expectRow(withUnit, doc.GetPar(withUnit).GetSiValueString(0), doc.GetUnitName(doc.GetPar(withUnit).GetUnit()));
  expectRow(plain, doc.GetPar(plain).GetSiValueString(0), QString());
  const std::int16_t target = doc.GetLinkedVarIndex(validLink, 0);
  ASSERT_GE(target, 0);
  expectRow(validLink, doc.GetVar(target).GetNameText(), QString());
  // A link without a fitting target names the index the link finds.
  expectRow(badLink, vtx::Format(u"*** (%d)", doc.GetLinkedVarIndex(badLink, 0)), QString());
}

TEST(ParListPrint, UntitledEmptyDocumentPrintsOneHeaderPage)
{
  if (!HavePdfToText())
    GTEST_SKIP() << "pdftotext is not installed";
  TestEnvironment env;
  QTemporaryDir dir;
  CQelDoc doc;
  const QString pdf = dir.filePath(QStringLiteral("empty.pdf"));
  auto printer = MakePdfPrinter(pdf, 300);
  EXPECT_EQ(GeometryOn(doc, *printer).nPages, 1);
  ASSERT_EQ(CParListPrint::PrintParList(doc, *printer), vtx::SaveError::None);
  const QStringList pages = Pages(PdfText(pdf));
  ASSERT_EQ(pages.size(), 1);
  EXPECT_TRUE(pages[0].contains(QStringLiteral("PAGE 1 of 1")));
  EXPECT_TRUE(pages[0].contains(QStringLiteral("senza nome")));
  EXPECT_FALSE(pages[0].contains(QStringLiteral("Parameter")));
}

TEST(ParListPrint, PageTooShortForARowStillPrintsOneRowPerHalf)
{
  if (!HavePdfToText())
    GTEST_SKIP() << "pdftotext is not installed";
  TestEnvironment env;
  GeneratedBoard board(30);
  ASSERT_TRUE(board.loaded);
  const QString pdf = board.dir.filePath(QStringLiteral("short.pdf"));
  auto printer = MakePdfPrinter(pdf, 300, QSizeF(100, 12));
  const ParListPrintGeometry g = GeometryOn(board.doc, *printer);
  EXPECT_EQ(g.nRowsPerHalf, 1);
  EXPECT_EQ(g.nPages, 15);
  ASSERT_EQ(CParListPrint::PrintParList(board.doc, *printer), vtx::SaveError::None);
  EXPECT_EQ(Pages(PdfText(pdf)).size(), 15);
}

TEST(ParListPrint, JobWithoutFontsPaintsNothing)
{
  CQelDoc doc;
  CParListPrint job(doc);
  QPicture picture;
  QPainter painter(&picture);
  CPrintInfo info;
  info.m_rectDraw = QRect(0, 0, 1000, 1000);
  job.OnPrint(painter, info);
  painter.end();
  EXPECT_TRUE(picture.boundingRect().isEmpty());
}

TEST(ParListPrint, PrintCommandAsksTheDialogAndReportsFailure)
{
  TestEnvironment env;
  GeneratedBoard board(60, QStringLiteral("board.vtx"));
  ASSERT_TRUE(board.loaded);
  CPrintSetup setup;
  setup.SetPrinter(MakePdfPrinter(QString(), 300));
  const QString pdf = board.dir.filePath(QStringLiteral("cmd.pdf"));

  int asked = 0;
  CParListPrint::SetPrintDialogHook([&](QPrinter &printer, QWidget *) {
    ++asked;
    printer.setOutputFileName(pdf);
    return true;
  });
  EXPECT_TRUE(CParListPrint::OnFilePrint(board.doc, setup, nullptr));
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(QFileInfo(pdf).size() > 0);
  EXPECT_TRUE(env.prompter().asked.empty());

  // Cancelled: nothing printed, nothing said.
  QFile::remove(pdf);
  CParListPrint::SetPrintDialogHook([](QPrinter &, QWidget *) { return false; });
  EXPECT_FALSE(CParListPrint::OnFilePrint(board.doc, setup, nullptr));
  EXPECT_FALSE(QFileInfo::exists(pdf));
  EXPECT_TRUE(env.prompter().asked.empty());

  // A file that cannot be made is named with the reason, never taken as
  // printed; a range beyond the last page is a command that failed.
  const QString missing = board.dir.filePath(QStringLiteral("missing/folder/cmd.pdf"));
  CParListPrint::SetPrintDialogHook([&](QPrinter &printer, QWidget *) {
    printer.setOutputFileName(missing);
    return true;
  });
  EXPECT_FALSE(CParListPrint::OnFilePrint(board.doc, setup, nullptr));
  ASSERT_EQ(env.prompter().asked.size(), 1u);
  EXPECT_EQ(env.prompter().asked[0].text, vtx::SaveErrorText(vtx::SaveError::FolderNotWritable, missing));
  CParListPrint::SetPrintDialogHook([&](QPrinter &printer, QWidget *) {
    printer.setOutputFileName(pdf);
    printer.setPrintRange(QPrinter::PageRange);
    printer.setFromTo(5, 6);
    return true;
  });
  EXPECT_FALSE(CParListPrint::OnFilePrint(board.doc, setup, nullptr));
  ASSERT_EQ(env.prompter().asked.size(), 2u);
  EXPECT_EQ(env.prompter().asked[1].text, QStringLiteral("Command failed."));
  EXPECT_FALSE(QFileInfo::exists(pdf));
  CParListPrint::SetPrintDialogHook({});
}

// A printout that cannot be written whole leaves no file, or the old one
// byte for byte, and the box says which file and why.
TEST(ParListPrint, PrintoutPastAFileSizeLimitKeepsTheFolderAsItWas)
{
  TestEnvironment env;
  GeneratedBoard board(60, QStringLiteral("board.vtx"));
  ASSERT_TRUE(board.loaded);
  CPrintSetup setup;
  setup.SetPrinter(MakePdfPrinter(QString(), 300));
  QString chosen = board.dir.filePath(QStringLiteral("old.pdf"));
  CParListPrint::SetPrintDialogHook([&](QPrinter &printer, QWidget *) {
    printer.setOutputFileName(chosen);
    return true;
  });
  ASSERT_TRUE(CParListPrint::OnFilePrint(board.doc, setup, nullptr));
  QFile old(chosen);
  ASSERT_TRUE(old.open(QIODevice::ReadOnly));
  const QByteArray before = old.readAll();
  old.close();
  constexpr int kLimit = 4096;
  ASSERT_GT(before.size(), kLimit);
  const QDir folder(board.dir.path());
  const QStringList files = folder.entryList(QDir::Files | QDir::Hidden);

  for (const QString &name : {QStringLiteral("new.pdf"), QStringLiteral("old.pdf")}) {
    chosen = folder.filePath(name);
    {
      const FileSizeLimit limit(kLimit);
      EXPECT_FALSE(CParListPrint::OnFilePrint(board.doc, setup, nullptr));
    }
    ASSERT_FALSE(env.prompter().asked.empty());
    EXPECT_EQ(env.prompter().asked.back().text, vtx::SaveErrorText(vtx::SaveError::FileTooLarge, chosen));
  }
  CParListPrint::SetPrintDialogHook({});
  EXPECT_EQ(env.prompter().asked.size(), 2u);
  EXPECT_EQ(folder.entryList(QDir::Files | QDir::Hidden), files);
  ASSERT_TRUE(old.open(QIODevice::ReadOnly));
  EXPECT_EQ(old.readAll(), before);
}

TEST(PrintSetup, OrientationIsKeptWithOrWithoutAPrinter)
{
  CPrintSetup setup;
  EXPECT_EQ(setup.GetPrintOrientation(), 1);
  setup.SetPrintOrientation(2);
  EXPECT_EQ(setup.GetPrintOrientation(), 2);
  setup.SetPrintOrientation(0);
  setup.SetPrintOrientation(3);
  EXPECT_EQ(setup.GetPrintOrientation(), 2);

  // The printer made later takes the orientation, and a dialog turning the
  // page shows in the getter.
  QPrinter &printer = setup.GetPrinter();
  EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Landscape);
  printer.setPageOrientation(QPageLayout::Portrait);
  EXPECT_EQ(setup.GetPrintOrientation(), 1);
  setup.SetPrintOrientation(2);
  EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Landscape);
  setup.SetPrinter(MakePdfPrinter(QString()));
  EXPECT_EQ(setup.GetPrinter().pageLayout().orientation(), QPageLayout::Landscape);

  CPrintSetup::SetAppInstance(&setup);
  EXPECT_EQ(&CPrintSetup::ForApp(), &setup);
  CPrintSetup::SetAppInstance(nullptr);
  EXPECT_NE(&CPrintSetup::ForApp(), &setup);
}

TEST(ParListPrint, NamesOfSixteenCharactersStayInTheirColumnOnA4)
{
  TestEnvironment env;
  GeneratedBoard board(3000);
  ASSERT_TRUE(board.loaded);
  const QString pdf = board.dir.filePath(QStringLiteral("a4.pdf"));
  auto printer = MakePdfPrinter(pdf, 300);
  CParListPrint job(board.doc);
  CPrintInfo info;
  ASSERT_TRUE(job.OnBeginPrinting(*printer, info));
  EXPECT_EQ(job.GetPrintFont().family(), QStringLiteral("Tahoma"));
  if (!QFontDatabase::hasFamily(QStringLiteral("Tahoma")) && !QFontDatabase::hasFamily(QStringLiteral("Wine Tahoma"))) {
    EXPECT_EQ(QFontInfo(job.GetPrintFont()).family(), QStringLiteral("DejaVu Sans Condensed"));
  }
  // From the name's start to the next grid line, at A4 portrait.
  const int halfWidth = printer->width() / 2;
  const int room = int((CParListPrint::kGridX[2] - CParListPrint::kGridX[1] - CParListPrint::kTextPad) * halfWidth);
  for (const char *name : {"current_limit_kp", "max_speed_ref_16", "c_diag_rec_count", "par_item_2999"})
    EXPECT_LT(job.GetPrintMetrics().horizontalAdvance(QString::fromLatin1(name)), room) << name;
}
