#pragma once

#include "model/DocFrameLinks.h"

#include <QString>

// A document host whose board description library lives in one folder of
// the caller's: programs without a main frame (the generator, benchmarks,
// fuzz targets) and tests that must not write beside the executable. Requests
// go on to another host, or are dropped when there is none.
class CFolderDocHost : public IDocHost {
public:
  // The folder gets a trailing '/' if it lacks one. 'next' is not owned.
  explicit CFolderDocHost(const QString &folder, IDocHost *next = nullptr, QString language = QStringLiteral("Std"));

  QString GetInitializeLanguage() const override;
  void AddRequest(CRequestPacket *&packet) override;
  void AddHeadRequest(CRequestPacket *&packet) override;
  QString GetProgramFolder() const override { return m_folder; }
  QString GetUserDataFolder() const override { return m_folder; }

private:
  QString m_folder;
  IDocHost *m_next; // not owned
  QString m_language;
};
