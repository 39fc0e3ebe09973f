#include "BoardDescription.h"

#include "model/DocArchive.h"
#include "model/QelDocContainer.h"

#include "platform/Cp1252.h"

#include <QFile>

namespace {

std::string Bytes(const QString &text)
{
  return Cp1252::Encode(text).toStdString();
}

BoardItem Item(const Variabili &v)
{
  BoardItem item;
  item.index = v.GetIndex();
  item.name = Bytes(v.GetName());
  item.storage = static_cast<int>(v.GetStorageType());
  item.address = v.GetAddress();
  return item;
}

} // namespace

const BoardItem *BoardDescription::FindVariable(const std::string &name) const
{
  for (const BoardItem &v : variables)
    if (v.name == name)
      return &v;
  return nullptr;
}

const BoardItem *BoardDescription::FindParameter(const std::string &name) const
{
  for (const BoardItem &p : parameters)
    if (p.name == name)
      return &p;
  return nullptr;
}

const BoardItem *BoardDescription::CommandParameter() const
{
  for (const BoardItem &p : parameters)
    if (p.storage == 0)
      return &p;
  return nullptr;
}

bool LoadBoardDescription(const std::string &path, BoardDescription *out, std::string *error)
{
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) {
    *error = "cannot read " + path;
    return false;
  }
  const QByteArray bytes = file.readAll();
  CDocArchive ar = CDocArchive::FromBytes(bytes);
  CQelDocContainer doc;
  if (!doc.LoadFromArchive(ar)) {
    *error = path + " is not a board description document";
    return false;
  }
  if (doc.GetParCount() == 0 && doc.GetVarCount() == 0) {
    *error = path + " describes no parameters and no variables";
    return false;
  }

  BoardDescription d;
  // The board sends its description as the file holds it, header line aside.
  const qsizetype headerEnd = bytes.indexOf('\n');
  if (headerEnd >= 0)
    d.text = bytes.mid(headerEnd + 1).toStdString();
  d.version = Bytes(doc.GetVersion());
  const QStringList &languages = doc.GetLanguageList();
  for (qsizetype i = 1; i < languages.size(); ++i) // entry 0 is the standard dictionary
    d.languages += Bytes(languages[i]) + ';';
  d.slave = doc.GetSlaveAddress();
  for (std::int32_t k : doc.GetKTable())
    d.kTable.push_back(static_cast<int16_t>(k));
  d.nTable = doc.GetNTable();
  for (const Parametri &p : doc.GetParameters()) {
    BoardItem item = Item(p);
    item.value = p.GetValue(Parametri::SEL_VALUE);
    d.parameters.push_back(std::move(item));
  }
  for (const Variabili &v : doc.GetVariables())
    d.variables.push_back(Item(v));
  for (std::uint16_t v : doc.GetStdVariables())
    d.stdVariables.push_back(v);
  *out = std::move(d);
  return true;
}
