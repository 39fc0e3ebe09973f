#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

// A worker thread that sleeps on a work event and runs the body once each
// time the event is set (or each time its wait time passes, when that is
// finite). Base of the serial manager's worker and of the update worker.
//
// A derived class must call StopAndWait() in its own destructor: the thread
// calls the derived body, which must not outlive the derived object.
class CThinThread {
public:
  static constexpr unsigned kInfinite = 0xFFFFFFFFu;

  CThinThread();
  virtual ~CThinThread();
  CThinThread(const CThinThread &) = delete;
  CThinThread &operator=(const CThinThread &) = delete;

  // Starts the thread once; flags, stack size and security are accepted for
  // the callers' sake and ignored. False when a thread already runs or could
  // not be started.
  bool CreateThread(unsigned flags = 0, unsigned stackSize = 0, void *security = nullptr, unsigned waitMs = kInfinite);
  // Asks the thread to end; returns at once.
  void KillThread2();
  // KillThread2, then waits until the thread has ended. Safe to call twice.
  void StopAndWait();
  // Sets the work event: the body runs once more on the worker thread.
  void SetWorkEvent();

  // Nonzero while the thread is alive.
  int IsRunning() const { return m_running.load(); }
  int StopRequested() const { return m_stopRequest.load(); }

protected:
  // Before the first body, after the last body, and the body itself; all run
  // on the worker thread.
  virtual void StartWork() {}
  virtual void DoWork() = 0;
  virtual void EndWork() {}

  // The stop request derived workers set and test (0 at construction).
  std::atomic<int> m_stopRequest{0};

private:
  void ThreadMain(unsigned waitMs);

  std::thread m_thread;
  std::mutex m_mutex;
  std::condition_variable m_wake;
  bool m_event = false; // guarded by m_mutex
  bool m_kill = false;  // guarded by m_mutex
  std::atomic<int> m_running{0};
};
