#include "BoardSession.h"

#include "frame/ChildConn.h"
#include "frame/FrameCodes.h"

#include "model/QelDoc.h"
#include "modbus/RequestPacket.h"

#include <QDeadlineTimer>
#include <QMetaObject>
#include <QtTest/QTest>

namespace {

constexpr WindowId kBoardWindow = 501;

} // namespace

SerialLink::SerialLink(const QString &device, int timeoutMs, int retries)
    : m_manager(std::make_unique<CSerManager>(kNoWindow))
{
  m_manager->SetNotify([this](unsigned, long) {
    QMetaObject::invokeMethod(
        &m_context, [this] { Drain(); }, Qt::QueuedConnection);
  });
  m_manager->SetCommParam(1, 115200, 2, timeoutMs, 0, retries, 0);
  m_manager->SetDevicePath(device);
  m_manager->CreateThread(0, 0, nullptr, 0xFFFFFFFF);
}

SerialLink::~SerialLink()
{
  m_manager.reset(); // its worker still notifies while it stops
}

void SerialLink::AddRequest(CRequestPacket *&packet)
{
  if (packet)
    ++m_outstanding;
  m_manager->AddRequest(packet);
}

void SerialLink::AddHeadRequest(CRequestPacket *&packet)
{
  if (packet)
    ++m_outstanding;
  m_manager->AddHeadRequest(packet);
}

void SerialLink::Drain()
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

BoardSession::BoardSession(CQelDoc &doc, SerialLink &link)
    : m_doc(doc), m_link(link), m_conn(std::make_unique<CChildConn>(kBoardWindow, &link))
{
  m_conn->SetConnDocument(&m_doc);
  m_link.SetAnswerHandler([this](CRequestPacket &pkt) { Route(pkt); });
}

BoardSession::~BoardSession()
{
  m_link.SetAnswerHandler({});
}

// What the main frame does with an answer before the board window sees it:
// a failed exchange takes the board offline with its text, and a board whose
// identity is not the document's is refused.
void BoardSession::Route(CRequestPacket &pkt)
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

void BoardSession::GoOnline()
{
  if (m_conn->ConnectionBits() == 0)
    m_conn->OnOnLine();
}

void BoardSession::GoOffline()
{
  if (m_conn->ConnectionBits() != 0)
    m_conn->OnOnLine();
}

bool BoardSession::Online() const
{
  return m_doc.IsOnline();
}

void BoardSession::ReadAll()
{
  m_conn->OnReadAll();
}

bool BoardSession::ReadAllDone() const
{
  return m_conn->GetReadState() == 4;
}

bool BoardSession::Write(int index, double value)
{
  return m_conn->WriteParameter(static_cast<std::uint16_t>(index), value, 1, 0);
}

void BoardSession::Poll()
{
  m_conn->Poll();
}

void BoardSession::InitDescriptions()
{
  m_conn->OnInitDescriptions();
}

bool BoardSession::HoldsDescriptionSlot() const
{
  return g_hInitFrame == kBoardWindow;
}

int BoardSession::StateIcon() const
{
  return m_conn->StateIconId();
}
