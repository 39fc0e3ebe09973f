#pragma once

#include "frame/ChildConn.h"
#include "frame/RequestSink.h"

#include "model/QelDoc.h"
#include "modbus/RequestPacket.h"
#include "modbus/SerManager.h"

#include <QMetaObject>
#include <QObject>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <functional>
#include <memory>

// The supervisor's serial manager as a request sink: answers come back on
// the GUI thread through the manager's notifications, as in the main frame.
class SerialLink : public IRequestSink {
public:
  using AnswerFn = std::function<void(CRequestPacket &)>;

  SerialLink(const QString &device, int timeoutMs, int retries) : m_manager(std::make_unique<CSerManager>(kNoWindow))
  {
    m_manager->SetNotify([this](unsigned, long) {
      QMetaObject::invokeMethod(
          &m_context, [this] { Drain(); }, Qt::QueuedConnection);
    });
    m_manager->SetCommParam(1, 115200, 2, timeoutMs, 0, retries, 0);
    m_manager->SetDevicePath(device);
    m_manager->CreateThread(0, 0, nullptr, 0xFFFFFFFF);
  }
  ~SerialLink() override { m_manager.reset(); } // its worker still notifies while it stops
  SerialLink(const SerialLink &) = delete;
  SerialLink &operator=(const SerialLink &) = delete;

  void SetAnswerHandler(AnswerFn handler) { m_answer = std::move(handler); }

  void AddRequest(CRequestPacket *&packet) override
  {
    m_outstanding += packet != nullptr;
    m_manager->AddRequest(packet);
  }
  void AddHeadRequest(CRequestPacket *&packet) override
  {
    m_outstanding += packet != nullptr;
    m_manager->AddHeadRequest(packet);
  }
  void AddRequests(std::vector<CRequestPacket *> &packets) override
  {
    m_outstanding += static_cast<int>(
        std::count_if(packets.begin(), packets.end(), [](const CRequestPacket *p) { return p != nullptr; }));
    m_manager->AddRequests(packets);
  }
  int IsActive() const override { return m_manager->IsActive(); }
  int GetReqPktListSize() const override { return m_manager->GetReqPktListSize(); }
  // Outstanding() counts answers: nothing may go unanswered here.
  void CancelRequests(WindowId, std::uint16_t) override {}
  std::vector<std::uint16_t> RemoveRequests(WindowId) override { return {}; }

  // Requests queued whose answers have not been handled yet.
  int Outstanding() const { return m_outstanding; }
  // The error texts of failed answers, oldest first.
  const QStringList &Errors() const { return m_errors; }

private:
  void Drain()
  {
    while (CRequestPacket *p = m_manager->GetAnsware()) {
      std::unique_ptr<CRequestPacket> pkt(p);
      --m_outstanding;
      if (pkt->error != 0)
        m_errors << pkt->strVersion;
      if (m_answer)
        m_answer(*pkt);
    }
  }

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
  static constexpr WindowId kBoardWindow = 501;

  BoardSession(CQelDoc &doc, SerialLink &link)
      : m_doc(doc), m_link(link), m_conn(std::make_unique<CChildConn>(kBoardWindow, &link))
  {
    m_conn->SetConnDocument(&m_doc);
    m_link.SetAnswerHandler([this](CRequestPacket &pkt) { Route(pkt); });
  }
  ~BoardSession() { m_link.SetAnswerHandler({}); }
  BoardSession(const BoardSession &) = delete;
  BoardSession &operator=(const BoardSession &) = delete;

  void GoOnline()
  {
    if (m_conn->ConnectionBits() == 0)
      m_conn->OnOnLine();
  }
  void GoOffline()
  {
    if (m_conn->ConnectionBits() != 0)
      m_conn->OnOnLine();
  }
  bool Online() const { return m_doc.IsOnline(); }
  void ReadAll() { m_conn->OnReadAll(); }
  bool ReadAllDone() const { return m_conn->GetReadState() == 4; }
  // A tracked write of a parameter, as an edit in the parameter list does.
  bool Write(int index, double value) { return m_conn->WriteParameter(static_cast<std::uint16_t>(index), value, 1, 0); }
  // One poll of the shown variables, the status block and the extra items.
  void Poll() { m_conn->Poll(); }
  // Asks the board for its description (no library copy in the host's folders).
  void InitDescriptions() { m_conn->OnInitDescriptions(); }
  // This board holds the one description download slot.
  bool HoldsDescriptionSlot() const { return g_hInitFrame == kBoardWindow; }
  int StateIcon() const { return m_conn->StateIconId(); }
  // The firmware identity a refused board sent, empty when none was refused.
  QString RefusedIdentity() const { return m_refused; }

private:
  // What the main frame does with an answer before the board window sees it:
  // a failed exchange takes the board offline with its text, and a board whose
  // identity is not the document's is refused.
  void Route(CRequestPacket &pkt)
  {
    if (pkt.error != 0) {
      if (m_conn->GoOffline() != 0)
        m_conn->ShowError(pkt.strVersion);
      return;
    }
    if (pkt.message == REQ_GO_ONLINE && m_conn->QueryState() != 0) {
      QString board = pkt.strVersion;
      board.replace(u'\n', u' ');
      const QString mine = m_conn->GetVersion();
      if (mine != QStringLiteral("no version;") && mine != board) {
        m_refused = board;
        m_conn->GoOffline();
        return;
      }
    }
    m_conn->ProcessAnswer(pkt);
  }

  CQelDoc &m_doc;
  SerialLink &m_link;
  std::unique_ptr<CChildConn> m_conn;
  QString m_refused;
};
