// libFuzzer target: arbitrary bytes as a board description, read as the
// board sends it and then as a document file. What is read must write back in
// a form that reads again to the same text; the standard items and rows must
// name what exists.
#include "support/FolderDocHost.h"
#include "model/QelDoc.h"
#include "platform/Prompter.h"

#include <QLoggingCategory>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

class SilentPrompter : public Prompter {
public:
  int MessageBox(const QString &, const QString &, unsigned, QWidget *) override { return IDOK; }
  QString FileDialog(const FileDialogRequest &, QWidget *) override { return {}; }
  int PopupMenu(const QList<PopupMenuItem> &, const QPoint &, QWidget *) override { return 0; }
};

void Check(bool cond)
{
  if (!cond)
    std::abort();
}

void CheckIndexes(const CQelDoc &doc)
{
  const int vars = doc.GetVarCount();
  const int pars = doc.GetParCount();
  for (std::int16_t v : {doc.GetWinCmdVar(), doc.GetSamplingTimeVar(), doc.GetBufWidthVar(), doc.GetBufLengthVar()})
    Check(v >= -1 && v < vars);
  for (std::int16_t p :
       {doc.GetDiagnTsPar(), doc.GetTrigPosPar(), doc.GetTrigNegPar(), doc.GetTrigDelayPar(), doc.GetSwSetPar()})
    Check(p >= -1 && p < std::max(pars, 1));
  const auto size = static_cast<int>(doc.GetStdVariables().size());
  for (std::int16_t s : {doc.GetErrorFlagSlot(), doc.GetWarningFlagSlot(), doc.GetStatusFlagSlot()})
    Check(s >= -1 && s < size);
  for (std::uint16_t v : doc.GetStdVariables())
    Check(v < vars);
  // Rows keep any index the file gives; only those naming a variable count.
  for (std::size_t r = 0; r < doc.GetVarRows().size(); ++r) {
    const int index = doc.GetVarRows()[r].index;
    Check(doc.IsVarRowValid(r) == (index >= 0 && index < vars));
  }
  Check(doc.GetBlockNames().size() == static_cast<std::size_t>(doc.GetBlockCount()));
  Check(doc.GetParNames().size() == static_cast<std::size_t>(pars));
}

QString Save(CQelDoc &doc)
{
  CDocArchive ar;
  doc.Serialize(ar);
  return ar.GetText();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  static CFolderDocHost host(QStringLiteral("/nonexistent-velotrix-fuzz/"));
  static const bool ready = [] {
    QLoggingCategory::setFilterRules(QStringLiteral("velotrix.*=false"));
    Prompter::SetInstance(std::make_unique<SilentPrompter>());
    return true;
  }();
  (void)ready;

  CQelDoc first;
  first.SetHost(&host);
  CDocArchive board = CDocArchive::FromBytes(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
  first.ReadDocument(board);
  CheckIndexes(first);
  for (const QString &language : first.GetLanguageList())
    first.SelectLanguage(language);
  CheckIndexes(first);
  const QString once = Save(first);

  CQelDoc second;
  second.SetHost(&host);
  CDocArchive file = CDocArchive::FromText(once);
  Check(second.LoadFromArchive(file));
  CheckIndexes(second);
  const QString twice = Save(second);

  CQelDoc third;
  third.SetHost(&host);
  CDocArchive again = CDocArchive::FromText(twice);
  Check(third.LoadFromArchive(again));
  Check(Save(third) == twice);
  return 0;
}
