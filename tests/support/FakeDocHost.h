#pragma once

#include "model/DocFrameLinks.h"

#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <vector>

// The main frame's document services for tests: a language, the program and
// per-user folders (apart, in a temporary folder of its own, unless the
// caller names one folder for both) and the serial queue, kept in queue
// order (head requests in front) or passed on to a sink.
class FakeDocHost : public IDocHost {
public:
  FakeDocHost();
  // Both folders are 'folder'; a trailing '/' is added when missing.
  explicit FakeDocHost(const QString &folder);
  ~FakeDocHost() override;
  FakeDocHost(const FakeDocHost &) = delete;
  FakeDocHost &operator=(const FakeDocHost &) = delete;

  // From now on requests go to 'sink' (not owned), anything with
  // AddRequest and AddHeadRequest: a connection's sink, a serial link.
  template <class Sink> void PassTo(Sink &sink)
  {
    m_pass = [&sink](CRequestPacket *&packet, bool head) {
      head ? sink.AddHeadRequest(packet) : sink.AddRequest(packet);
    };
  }

  QString GetInitializeLanguage() const override { return language; }
  void AddRequest(CRequestPacket *&packet) override;
  void AddHeadRequest(CRequestPacket *&packet) override;
  QString GetProgramFolder() const override { return program; }
  QString GetUserDataFolder() const override { return user; }

  QTemporaryDir dir;
  QString language = QStringLiteral("Std");
  QString program;
  QString user;
  std::vector<CRequestPacket *> queue; // owned

private:
  std::function<void(CRequestPacket *&packet, bool head)> m_pass;
};
