#pragma once

#include "model/DocFrameLinks.h"
#include "model/DocViewLinks.h"
#include "model/QelDoc.h"
#include "modbus/RequestPacket.h"

#include "TestSupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

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

// The main frame's services: a setting, the serial queue and two folders.
class FakeHost : public IDocHost {
public:
  FakeHost() : program(dir.filePath(QStringLiteral("prog")) + u'/'), user(dir.filePath(QStringLiteral("user")) + u'/')
  {
    QDir().mkpath(program);
  }
  ~FakeHost() override
  {
    for (CRequestPacket *p : queue)
      delete p;
  }
  QString GetInitializeLanguage() const override { return language; }
  void AddRequest(CRequestPacket *&packet) override
  {
    queue.push_back(packet);
    packet = nullptr;
  }
  void AddHeadRequest(CRequestPacket *&packet) override
  {
    queue.insert(queue.begin(), packet);
    packet = nullptr;
  }
  QString GetProgramFolder() const override { return program; }
  QString GetUserDataFolder() const override { return user; }

  QTemporaryDir dir;
  QString language = QStringLiteral("Std");
  QString program;
  QString user;
  std::vector<CRequestPacket *> queue; // owned
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
