#pragma once

#include "platform/WindowId.h"

#include <cstdint>
#include <vector>

struct CRequestPacket;

// Where a board connection queues its requests: the main frame over its
// serial manager, or a recording fake in tests. GUI thread only.
class IRequestSink {
public:
  virtual ~IRequestSink() = default;
  // Ownership passes: the pointer becomes null. A null pointer is ignored.
  virtual void AddRequest(CRequestPacket *&packet) = 0;
  virtual void AddHeadRequest(CRequestPacket *&packet) = 0;
  // Queues the packets at the tail in their order, all at once: the link
  // never sends part of them before the rest wait. Ownership passes: the
  // list is emptied.
  virtual void AddRequests(std::vector<CRequestPacket *> &packets) = 0;
  // Nonzero while the link is active.
  virtual int IsActive() const = 0;
  // Requests waiting to be sent.
  virtual int GetReqPktListSize() const = 0;
  // Drops that window's requests of that kind, the one being sent included
  // (from its next exchange on); none of them is answered.
  virtual void CancelRequests(WindowId window, std::uint16_t kind) = 0;
  // The same for every kind of that window; returns the steps of the
  // write-all blocks dropped while they waited.
  virtual std::vector<std::uint16_t> RemoveRequests(WindowId window) = 0;
};
