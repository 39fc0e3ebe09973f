// Open and save speed of a large generated board document; run by hand:
// build-<x>/bin/doc_bench [repetitions] (a Release build gives real figures).
#include "BoardGenerator.h"

#include "support/FolderDocHost.h"
#include "model/QelDoc.h"
#include "platform/Cp1252.h"
#include "platform/Prompter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// Counts the messages a load would show; answers OK.
class SilentPrompter : public Prompter {
public:
  int MessageBox(const QString &, const QString &, unsigned, QWidget *) override
  {
    ++messages;
    return IDOK;
  }
  QString FileDialog(const FileDialogRequest &, QWidget *) override { return {}; }
  int PopupMenu(const QList<PopupMenuItem> &, const QPoint &, QWidget *) override { return 0; }
  int messages = 0;
};

struct Figures {
  double min = 0;
  double median = 0;
};

Figures Summary(std::vector<double> ms)
{
  std::sort(ms.begin(), ms.end());
  return {ms.front(), ms[ms.size() / 2]};
}

} // namespace

int main(int argc, char **argv)
{
  QCoreApplication app(argc, argv);
  QLoggingCategory::setFilterRules(QStringLiteral("velotrix.*=false"));
  const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
  auto *prompter = new SilentPrompter;
  Prompter::SetInstance(std::unique_ptr<Prompter>(prompter));

  QTemporaryDir dir;
  const QString source = dir.filePath(QStringLiteral("large.vtx"));
  const QString target = dir.filePath(QStringLiteral("saved.vtx"));
  const DescShape shape;
  const QByteArray bytes = Cp1252::Encode(GenerateDocument(shape));
  {
    QFile f(source);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
      return 1;
  }
  CFolderDocHost host(dir.path());

  std::vector<double> open;
  std::vector<double> save;
  QElapsedTimer timer;
  for (int i = 0; i < repetitions; ++i) {
    CQelDoc doc;
    doc.SetHost(&host);
    timer.start();
    const bool opened = doc.OnOpenDocument(source);
    open.push_back(timer.nsecsElapsed() / 1e6);
    if (!opened || doc.GetParCount() != shape.parameters || doc.GetVarCount() != shape.variables) {
      std::fprintf(stderr, "doc_bench: the generated board was not read whole\n");
      return 1;
    }
    timer.start();
    const bool saved = doc.OnSaveDocument(target);
    save.push_back(timer.nsecsElapsed() / 1e6);
    if (!saved)
      return 1;
  }
  QFile written(target);
  const QByteArray back = written.open(QIODevice::ReadOnly) ? written.readAll() : QByteArray();
  if (back != bytes) {
    const QList<QByteArray> a = bytes.split('\n');
    const QList<QByteArray> b = back.split('\n');
    qsizetype line = 0;
    while (line < a.size() && line < b.size() && a[line] == b[line])
      ++line;
    std::fprintf(stderr, "doc_bench: the saved document differs from the one opened at line %lld:\n%s\n%s\n",
                 static_cast<long long>(line + 1), line < a.size() ? a[line].left(200).constData() : "",
                 line < b.size() ? b[line].left(200).constData() : "");
    return 1;
  }
  const Figures o = Summary(open);
  const Figures s = Summary(save);
  std::printf("board: %d parameters, %d variables, %d blocks, 3 languages, %lld bytes\n", shape.parameters,
              shape.variables, shape.blocks, static_cast<long long>(bytes.size()));
  std::printf("open (read, dictionaries, language, standard items, library copy check): min %.1f ms, median %.1f ms\n",
              o.min, o.median);
  std::printf("save (write through a temporary file and rename): min %.1f ms, median %.1f ms\n", s.min, s.median);
  std::printf("messages a load would show: %d\n", prompter->messages);
  return 0;
}
