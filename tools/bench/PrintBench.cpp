// Print speed of the parameter list: a generated 3000-parameter board printed
// to PDF; run by hand: build-<x>/bin/print_bench [repetitions] [dpi]
// (a Release build gives real figures).
#include "BenchReport.h"
#include "BoardGenerator.h"

#include "support/FolderDocHost.h"
#include "model/QelDoc.h"
#include "platform/Cp1252.h"
#include "platform/Prompter.h"
#include "views/MultiPagePreview.h"
#include "views/ParListPrint.h"
#include "views/PrintSetup.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QPageLayout>
#include <QPrinter>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// Answers OK to whatever a load would show.
class SilentPrompter : public Prompter {
public:
  int MessageBox(const QString &, const QString &, unsigned, QWidget *) override { return IDOK; }
  QString FileDialog(const FileDialogRequest &, QWidget *) override { return {}; }
  int PopupMenu(const QList<PopupMenuItem> &, const QPoint &, QWidget *) override { return 0; }
};

std::unique_ptr<QPrinter> PdfPrinter(const QString &file, int dpi)
{
  auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  printer->setOutputFormat(QPrinter::PdfFormat);
  printer->setOutputFileName(file);
  printer->setResolution(dpi);
  return printer;
}

} // namespace

int main(int argc, char **argv)
{
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QLoggingCategory::setFilterRules(QStringLiteral("velotrix.*=false"));
  const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const int dpi = argc > 2 ? std::clamp(std::atoi(argv[2]), 72, 2400) : 1200;
  Prompter::SetInstance(std::make_unique<SilentPrompter>());

  QTemporaryDir dir;
  const QString source = dir.filePath(QStringLiteral("large.vtx"));
  const DescShape shape;
  {
    const QByteArray bytes = Cp1252::Encode(GenerateDocument(shape));
    QFile f(source);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
      return 1;
  }
  CFolderDocHost host(dir.path(), nullptr, QStringLiteral("en"));
  CQelDoc doc;
  doc.SetHost(&host);
  if (!doc.OnOpenDocument(source) || doc.GetParCount() != shape.parameters) {
    std::fprintf(stderr, "print_bench: the generated board was not read whole\n");
    return 1;
  }
  doc.SetPathName(source);

  const QString pdf = dir.filePath(QStringLiteral("large.pdf"));
  std::vector<double> print;
  std::vector<double> preview;
  int pages = 0;
  QElapsedTimer timer;
  for (int i = 0; i < repetitions; ++i) {
    auto printer = PdfPrinter(pdf, dpi);
    timer.start();
    const bool printed = CParListPrint::PrintParList(doc, *printer) == vtx::SaveError::None;
    print.push_back(timer.nsecsElapsed() / 1e6);
    if (!printed) {
      std::fprintf(stderr, "print_bench: printing failed\n");
      return 1;
    }

    // Preview: paginate and record every page as the preview shows them.
    CPrintSetup setup;
    setup.SetPrinter(PdfPrinter(QString(), dpi));
    timer.start();
    auto *view = CParListPrint::OnFilePrintPreview(doc, setup, nullptr);
    if (!view)
      return 1;
    pages = view->GetMaxPage();
    for (int page = 1; page <= pages; ++page)
      view->GetPagePicture(page);
    preview.push_back(timer.nsecsElapsed() / 1e6);
    delete view;
  }
  std::printf("board: %d parameters; PDF at %d dpi, A4 portrait: %d pages, %lld bytes\n", shape.parameters, dpi, pages,
              static_cast<long long>(QFileInfo(pdf).size()));
  std::printf("print to PDF: min %.1f ms, median %.1f ms (goal: under 2000 ms)\n",
              *std::min_element(print.begin(), print.end()), Median(print));
  std::printf("preview, every page recorded: min %.1f ms, median %.1f ms\n",
              *std::min_element(preview.begin(), preview.end()), Median(preview));
  return 0;
}
