#include "GenericServer.h"

#include "RequestPacket.h"
#include "SerCodes.h"

#include <algorithm>
#include <utility>

CGenericServer::CGenericServer(WindowId frame) : m_frame(frame) {}

CGenericServer::~CGenericServer()
{
  // A derived worker has been stopped by its own destructor; stop here too in
  // case none was, so no packet is freed under a running body.
  m_stopRequest = 1;
  StopAndWait();
  FreeAll();
}

void CGenericServer::AddRequest(CRequestPacket *&pkt)
{
  Queue(pkt, false);
}

void CGenericServer::AddHeadRequest(CRequestPacket *&pkt)
{
  Queue(pkt, true);
}

void CGenericServer::Queue(CRequestPacket *&pkt, bool head)
{
  if (!pkt)
    return;
  CRequestPacket *owned = pkt;
  pkt = nullptr;
  {
    std::lock_guard lock(m_lock);
    QueueLocked(owned, head);
  }
  SetWorkEvent();
}

void CGenericServer::AddRequests(std::vector<CRequestPacket *> &pkts)
{
  std::vector<CRequestPacket *> owned = std::exchange(pkts, {});
  std::erase(owned, nullptr);
  if (owned.empty())
    return;
  {
    std::lock_guard lock(m_lock);
    for (CRequestPacket *p : owned)
      QueueLocked(p, false);
  }
  SetWorkEvent();
}

void CGenericServer::QueueLocked(CRequestPacket *owned, bool head)
{
  if (owned->message == REQ_IDLE && std::any_of(m_requests.begin(), m_requests.end(),
                                                [](const CRequestPacket *p) { return p->message == REQ_IDLE; })) {
    delete owned;
    return;
  }
  if (head)
    m_requests.push_front(owned);
  else
    m_requests.push_back(owned);
}

CRequestPacket *CGenericServer::GetAnsware()
{
  std::lock_guard lock(m_lock);
  if (m_answers.empty())
    return nullptr;
  CRequestPacket *pkt = m_answers.front();
  m_answers.pop_front();
  return pkt;
}

int CGenericServer::GetAnsPktListSize() const
{
  std::lock_guard lock(m_lock);
  return static_cast<int>(m_answers.size());
}

int CGenericServer::GetReqPktListSize() const
{
  std::lock_guard lock(m_lock);
  return static_cast<int>(m_requests.size());
}

void CGenericServer::SetNotify(NotifyFn notify)
{
  m_notify = std::move(notify);
}

CRequestPacket *CGenericServer::TakeRequest()
{
  std::lock_guard lock(m_lock);
  if (m_requests.empty())
    return nullptr;
  CRequestPacket *pkt = m_requests.front();
  m_requests.pop_front();
  m_current = pkt;
  m_currentWindow = pkt->hWnd;
  m_currentKind = pkt->message;
  m_currentCancelled = false;
  return pkt;
}

int CGenericServer::EraseRequestsLocked(const std::function<bool(const CRequestPacket *)> &match)
{
  const auto erased = std::stable_partition(m_requests.begin(), m_requests.end(),
                                            [&match](const CRequestPacket *p) { return !match(p); });
  const int count = static_cast<int>(m_requests.end() - erased);
  for (auto it = erased; it != m_requests.end(); ++it)
    delete *it;
  m_requests.erase(erased, m_requests.end());
  return count;
}

void CGenericServer::CancelRequests(WindowId window, uint16_t kind)
{
  std::lock_guard lock(m_lock);
  EraseRequestsLocked([window, kind](const CRequestPacket *p) { return p->hWnd == window && p->message == kind; });
  if (m_current && m_currentWindow == window && m_currentKind == kind)
    m_currentCancelled = true;
}

std::vector<uint16_t> CGenericServer::RemoveRequests(WindowId window)
{
  std::vector<uint16_t> steps;
  std::lock_guard lock(m_lock);
  for (const CRequestPacket *p : m_requests)
    if (p->hWnd == window && p->message == REQ_WRITE_BLOCK && p->PktType.par.step != 0)
      steps.push_back(p->PktType.par.step);
  EraseRequestsLocked([window](const CRequestPacket *p) { return p->hWnd == window; });
  if (m_current && m_currentWindow == window)
    m_currentCancelled = true;
  return steps;
}

bool CGenericServer::CurrentCancelled() const
{
  std::lock_guard lock(m_lock);
  return m_currentCancelled;
}

int CGenericServer::DropFollowersOfFailed(WindowId window)
{
  std::lock_guard lock(m_lock);
  if (m_currentCancelled)
    return 0;
  return EraseRequestsLocked([window](const CRequestPacket *p) { return p->hWnd == window; });
}

void CGenericServer::PutAnswer(CRequestPacket *pkt)
{
  int waiting = 0;
  {
    std::lock_guard lock(m_lock);
    const bool cancelled = pkt == m_current && m_currentCancelled;
    if (pkt == m_current) {
      m_current = nullptr;
      m_currentCancelled = false;
    }
    if (cancelled) {
      delete pkt;
      return;
    }
    m_answers.push_back(pkt);
    waiting = static_cast<int>(m_answers.size());
  }
  Notify(kSerAnswerReady, waiting);
}

void CGenericServer::Notify(unsigned code, long argument) const
{
  if (m_notify)
    m_notify(code, argument);
}

void CGenericServer::FreeAll()
{
  std::lock_guard lock(m_lock);
  for (CRequestPacket *p : m_requests)
    delete p;
  for (CRequestPacket *p : m_answers)
    delete p;
  m_requests.clear();
  m_answers.clear();
}
