#pragma once

#include "frame/RequestSink.h"

#include "modbus/SerManager.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class CChildConn;
class CQelDoc;

// The supervisor's serial manager as a request sink: answers come back on
// the GUI thread through the manager's notifications, as in the main frame.
class SerialLink : public IRequestSink {
public:
  using AnswerFn = std::function<void(CRequestPacket &)>;

  SerialLink(const QString &device, int timeoutMs, int retries);
  ~SerialLink() override;
  SerialLink(const SerialLink &) = delete;
  SerialLink &operator=(const SerialLink &) = delete;

  void SetAnswerHandler(AnswerFn handler) { m_answer = std::move(handler); }

  void AddRequest(CRequestPacket *&packet) override;
  void AddHeadRequest(CRequestPacket *&packet) override;
  int IsActive() const override { return m_manager->IsActive(); }
  int GetReqPktListSize() const override { return m_manager->GetReqPktListSize(); }

  // Requests queued whose answers have not been handled yet.
  int Outstanding() const { return m_outstanding; }
  // The error texts of failed answers, oldest first.
  const QStringList &Errors() const { return m_errors; }

private:
  void Drain();

  QObject m_context; // outlives the manager: queued calls die with it
  std::unique_ptr<CSerManager> m_manager;
  AnswerFn m_answer;
  int m_outstanding = 0;
  QStringList m_errors;
};

// One board document connected over a SerialLink. Everything the tests ask
// of the supervisor's board connection goes through here, so a change of
// the connection's interface is met in this class alone.
class BoardSession {
public:
  BoardSession(CQelDoc &doc, SerialLink &link);
  ~BoardSession();
  BoardSession(const BoardSession &) = delete;
  BoardSession &operator=(const BoardSession &) = delete;

  void GoOnline();
  void GoOffline();
  bool Online() const;
  void ReadAll();
  bool ReadAllDone() const;
  // A tracked write of a parameter, as an edit in the parameter list does.
  bool Write(int index, double value);
  // One poll of the shown variables, the status block and the extra items.
  void Poll();
  // Asks the board for its description (no library copy in the host's folders).
  void InitDescriptions();
  // This board holds the one description download slot.
  bool HoldsDescriptionSlot() const;
  int StateIcon() const;
  // The firmware identity a refused board sent, empty when none was refused.
  QString RefusedIdentity() const { return m_refused; }

private:
  void Route(CRequestPacket &pkt);

  CQelDoc &m_doc;
  SerialLink &m_link;
  std::unique_ptr<CChildConn> m_conn;
  QString m_refused;
};
