#include "ViewState.h"

#include "model/MainWindowLink.h"
#include "model/QelDoc.h"
#include "platform/Format.h"
#include "platform/Options.h"
#include "platform/Trace.h"

#include <algorithm>

namespace views {

COptions *Options()
{
  IMainWindow *main = MainWindowLink::Get();
  return main ? &main->GetOptions() : nullptr;
}

int VisLevel()
{
  const COptions *options = Options();
  return options ? options->VisLevel.Get() : 0;
}

namespace {
constexpr int kWidthMin = 10;
constexpr int kWidthMax = 1000;

COptionIntArray &WidthSetting(COptions &o, WidthList list, std::size_t &count)
{
  const bool par = list == WidthList::Par;
  count = static_cast<std::size_t>(par ? COptions::kParWidthCount : COptions::kVarWidthCount);
  return par ? o.ParWidth : o.VarWidth;
}
} // namespace

bool ReadWidths(WidthList list, std::span<int> widths)
{
  COptions *o = Options();
  if (!o)
    return false;
  std::size_t count = 0;
  const COptionIntArray &setting = WidthSetting(*o, list, count);
  for (std::size_t i = 0; i < count && i < widths.size(); ++i)
    widths[i] = std::clamp(setting.At(static_cast<int>(i)), kWidthMin, kWidthMax);
  return true;
}

bool StoreWidths(WidthList list, std::span<const int> widths)
{
  COptions *o = Options();
  if (!o)
    return false;
  std::size_t count = 0;
  COptionIntArray &setting = WidthSetting(*o, list, count);
  for (std::size_t i = 0; i < count && i < widths.size(); ++i)
    setting.SetAt(static_cast<int>(i), std::clamp(widths[i], kWidthMin, kWidthMax));
  return true;
}

ColorPair GetPair(Pair pair)
{
  const COptions *o = Options();
  if (!o)
    return {};
  switch (pair) {
  case Pair::OfflineDef:
    return {o->CorpoTestoOfflineDef.Get(), o->SfondoTestoOfflineDef.Get()};
  case Pair::Offline:
    return {o->CorpoTestoOffline.Get(), o->SfondoTestoOffline.Get()};
  case Pair::OnlineDef:
    return {o->CorpoTestoOnlineDef.Get(), o->SfondoTestoOnlineDef.Get()};
  case Pair::Online1:
    return {o->CorpoTestoOnline1.Get(), o->SfondoTestoOnline1.Get()};
  case Pair::ConDipend:
    return {o->CorpoTestoConDipend.Get(), o->SfondoTestoConDipend.Get()};
  case Pair::Trascinato:
    return {o->CorpoTestoTrascinato.Get(), o->SfondoTestoTrascinato.Get()};
  case Pair::TrascConDip:
    return {o->CorpoTestoTrascConDip.Get(), o->SfondoTestoTrascConDip.Get()};
  case Pair::Normale:
    break;
  }
  return {o->CorpoTestoNormale.Get(), o->SfondoTestoNormale.Get()};
}

namespace drag {
// The document's view words: 0 the dragged variable, 1 the drop-target
// parameter, 2 the drop-target row of the variable list (16-bit signed).
std::int16_t Variable(const CQelDocContainer &doc)
{
  return static_cast<std::int16_t>(doc.GetViewWord(0));
}
void SetVariable(CQelDocContainer &doc, std::int16_t var)
{
  doc.SetViewWord(0, static_cast<std::uint16_t>(var));
}
std::int16_t TargetPar(const CQelDocContainer &doc)
{
  return static_cast<std::int16_t>(doc.GetViewWord(1));
}
void SetTargetPar(CQelDocContainer &doc, std::int16_t par)
{
  doc.SetViewWord(1, static_cast<std::uint16_t>(par));
}
std::int16_t TargetRow(const CQelDocContainer &doc)
{
  return static_cast<std::int16_t>(doc.GetViewWord(2));
}
void SetTargetRow(CQelDocContainer &doc, std::int16_t row)
{
  doc.SetViewWord(2, static_cast<std::uint16_t>(row));
}
QPoint Point(const CQelDocContainer &doc)
{
  return doc.GetEditPos();
}
void SetPoint(CQelDocContainer &doc, QPoint screen)
{
  doc.SetEditPos(screen);
}
bool Active(const CQelDocContainer &doc)
{
  return doc.GetViewFlag(0);
}
bool ActiveOverVarList(const CQelDocContainer &doc)
{
  return doc.GetViewFlag(1);
}
void SetActive(CQelDocContainer &doc, bool active)
{
  doc.SetViewFlags(active);
}
} // namespace drag

QStringList CollectBitNames(const CQelDocContainer &doc, const QString &nameText)
{
  QStringList names;
  int count = 1;
  for (int bit = 0; bit < 16; ++bit) {
    names << doc.Translate(vtx::Format(u"%s#%d", nameText, bit), QString());
    if (!names.back().isEmpty())
      count = bit + 1;
  }
  return names.mid(0, count);
}

void ShowHelp(CQelDoc *doc)
{
  if (!doc)
    return;
  const QString topic = doc->ShowManual();
  qCDebug(lcViews, "HELP %s", qUtf8Printable(topic));
}

} // namespace views
