#include "ThinThread.h"

#include <chrono>

CThinThread::CThinThread() = default;

CThinThread::~CThinThread()
{
  StopAndWait();
}

bool CThinThread::CreateThread(unsigned, unsigned, void *, unsigned waitMs)
{
  std::lock_guard lock(m_mutex);
  if (m_thread.joinable())
    return false;
  m_kill = false;
  m_running = 1;
  try {
    m_thread = std::thread([this, waitMs] { ThreadMain(waitMs); });
  } catch (const std::system_error &) {
    m_running = 0;
    return false;
  }
  return true;
}

void CThinThread::KillThread2()
{
  {
    std::lock_guard lock(m_mutex);
    m_kill = true;
  }
  m_wake.notify_all();
}

void CThinThread::StopAndWait()
{
  KillThread2();
  if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
    m_thread.join();
}

void CThinThread::SetWorkEvent()
{
  {
    std::lock_guard lock(m_mutex);
    m_event = true;
  }
  m_wake.notify_all();
}

void CThinThread::ThreadMain(unsigned waitMs)
{
  StartWork();
  for (;;) {
    {
      std::unique_lock lock(m_mutex);
      auto ready = [this] { return m_event || m_kill; };
      if (waitMs == kInfinite)
        m_wake.wait(lock, ready);
      else
        m_wake.wait_for(lock, std::chrono::milliseconds(waitMs), ready);
      if (m_kill)
        break;
      m_event = false;
    }
    DoWork();
  }
  EndWork();
  m_running = 0;
}
