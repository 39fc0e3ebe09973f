#pragma once

#include "model/DocFrameLinks.h"
#include "model/DocViewLinks.h"
#include "model/QelDoc.h"
#include "modbus/RequestPacket.h"

#include "FakeDocHost.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <vector>

// The child frame as the document sees it: records the online writes.
class FakeAnswerWindow : public IDocAnswerWindow {
public:
  struct Write {
    std::int16_t index;
    double value;
    bool marked;
  };
  WindowId GetAnswerWindowId() const override { return 42; }
  void WriteParameterOnline(std::int16_t index, double value, bool marked) override
  {
    writes.push_back({index, value, marked});
  }
  void OnDescriptionLoaded() override { ++loaded; }
  std::vector<Write> writes;
  int loaded = 0;
};

// A tree control: records what it was asked to select and may act like the
// view behind it.
class FakeTree : public IDocTree {
public:
  bool SelectTreeItem(void *item) override
  {
    selected.push_back(item);
    if (onSelect)
      onSelect(item);
    return true;
  }
  std::vector<void *> selected;
  std::function<void(void *)> onSelect;
};

// The parameter list: the first column of each row; records the calls.
class FakeParList : public IDocParList {
public:
  int FindRowByFirstColumn(const QString &text) const override { return static_cast<int>(rows.indexOf(text)); }
  void RecolorAll() override { ++recolors; }
  void FillList() override { ++filled; }
  QStringList rows;
  int recolors = 0;
  int filled = 0;
};

// A view that records the hints it is sent.
class HintView : public CView {
public:
  void OnUpdate(CView *, long hint, QObject *) override { hints.push_back(hint); }
  std::vector<long> hints;
};

inline QByteArray ReadBytes(const QString &path)
{
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool WriteBytes(const QString &path, const QByteArray &bytes)
{
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The message texts asked so far, in order.
inline QStringList AskedTexts(const ScriptedPrompter &p)
{
  QStringList out;
  for (const auto &a : p.asked)
    if (a.kind == ScriptedPrompter::Asked::Message)
      out << a.text;
  return out;
}

// Loads a description text (with its header) into the document.
inline bool LoadText(CQelDocContainer &doc, const QString &text)
{
  CDocArchive ar = CDocArchive::FromText(text);
  return doc.LoadFromArchive(ar);
}

inline QString SaveText(CQelDocContainer &doc)
{
  CDocArchive ar;
  doc.Serialize(ar);
  return ar.GetText();
}
