#pragma once

#include "ThinThread.h"

#include "platform/WindowId.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

struct CRequestPacket;

// The request queue and the answer list of a serial server, shared by the
// GUI thread and one worker thread under one mutex. Packets are owned by
// whichever list holds them.
class CGenericServer : public CThinThread {
public:
  // (code, argument): a code of SerCodes.h. Called on the worker thread; the
  // frame wraps it in a queued call to the GUI thread.
  using NotifyFn = std::function<void(unsigned code, long argument)>;

  explicit CGenericServer(WindowId frame);
  ~CGenericServer() override;

  // Queue at the tail or at the head. Ownership passes: the pointer becomes
  // null. A null pointer is ignored. An idle request is dropped (deleted)
  // while another idle request is still waiting.
  void AddRequest(CRequestPacket *&pkt);
  void AddHeadRequest(CRequestPacket *&pkt);
  // Queues the packets at the tail in their order under one lock with one
  // wake-up, so a failure of any of them finds every later one waiting.
  // Ownership passes: the list is emptied.
  void AddRequests(std::vector<CRequestPacket *> &pkts);

  // Drops the waiting requests of that kind from that window; the one being
  // performed, if it is one of them, stops before its next exchange and its
  // packet is freed unanswered.
  void CancelRequests(WindowId window, uint16_t kind);
  // The same for every kind of that window; returns the steps of the
  // write-all blocks it deleted while they waited.
  std::vector<uint16_t> RemoveRequests(WindowId window);

  // The oldest answer, owned by the caller from now on; null when none.
  CRequestPacket *GetAnsware();
  int GetAnsPktListSize() const;
  int GetReqPktListSize() const;

  // Set before the worker starts.
  void SetNotify(NotifyFn notify);
  WindowId FrameWindow() const { return m_frame; }

protected:
  // Worker side. TakeRequest returns null when the queue is empty. PutAnswer
  // frees a cancelled packet instead of answering it.
  CRequestPacket *TakeRequest();
  // Deletes the waiting requests whose answer window is window; returns how
  // many. A failed request's followers from the same window would act on a
  // board that is about to go offline. A request its window cancelled did not
  // fail: what was queued after it stays, checked under the same lock as the
  // cancel.
  int DropFollowersOfFailed(WindowId window);
  void PutAnswer(CRequestPacket *pkt);
  // True once the request being performed was cancelled.
  bool CurrentCancelled() const;
  void Notify(unsigned code, long argument) const;
  // Deletes every packet of both lists (after the worker has stopped).
  void FreeAll();

private:
  void Queue(CRequestPacket *&pkt, bool head);
  // Takes the packet into the queue, or deletes an idle request already
  // waiting. Holds m_lock.
  void QueueLocked(CRequestPacket *owned, bool head);
  // Deletes the waiting requests that match; returns how many. Holds m_lock.
  int EraseRequestsLocked(const std::function<bool(const CRequestPacket *)> &match);

  const WindowId m_frame;
  NotifyFn m_notify;
  mutable std::mutex m_lock;
  std::deque<CRequestPacket *> m_requests; // owned, guarded by m_lock
  std::deque<CRequestPacket *> m_answers;  // owned, guarded by m_lock
  // The request being performed, its window and kind as taken (the worker
  // changes the packet meanwhile); guarded by m_lock.
  const CRequestPacket *m_current = nullptr;
  WindowId m_currentWindow = kNoWindow;
  uint16_t m_currentKind = 0;
  bool m_currentCancelled = false;
};
