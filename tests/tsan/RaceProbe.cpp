// A data race of ours, on purpose, whose reading side runs in a slot reached
// through a queued connection, so that Qt's event dispatch frames sit below
// it. scripts/test-tsan --probe passes only when ThreadSanitizer reports it:
// suppressions broad enough to hide it would hide real races of ours too.
#include <QCoreApplication>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

// Written by the worker after it has posted the signal, read by the slot:
// nothing orders the two.
volatile int g_unguarded = 0;
// Relaxed on purpose: it stops the worker without ordering anything.
std::atomic<bool> g_stop{false};
// Set after each write, relaxed for the same reason: the slot reads only once
// the worker has written, so the race is there however the threads are run.
std::atomic<bool> g_wrote{false};

} // namespace

class Sender : public QObject {
  Q_OBJECT
signals:
  void Posted();
};

class Receiver : public QObject {
  Q_OBJECT
public slots:
  void Read()
  {
    // Its own bound: the 10 s timer cannot run while this slot waits.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!g_wrote.load(std::memory_order_relaxed)) {
      if (std::chrono::steady_clock::now() > deadline) {
        std::fprintf(stderr, "tsan_probe: the worker never wrote\n");
        g_stop.store(true, std::memory_order_relaxed);
        QCoreApplication::exit(1);
        return;
      }
      std::this_thread::yield();
    }
    std::printf("tsan_probe: slot read %d\n", g_unguarded);
    g_stop.store(true, std::memory_order_relaxed);
    QCoreApplication::quit();
  }
};

int main(int argc, char **argv)
{
  QCoreApplication app(argc, argv);
  Sender sender;
  Receiver receiver;
  QObject::connect(&sender, &Sender::Posted, &receiver, &Receiver::Read, Qt::QueuedConnection);
  std::thread worker([&sender] {
    emit sender.Posted();
    for (int i = 1; !g_stop.load(std::memory_order_relaxed); ++i) {
      g_unguarded = i;
      g_wrote.store(true, std::memory_order_relaxed);
    }
  });
  // Never waits for ever, even if the slot is not reached.
  QTimer::singleShot(10000, &app, [] {
    std::fprintf(stderr, "tsan_probe: the queued slot did not run\n");
    g_stop.store(true, std::memory_order_relaxed);
    QCoreApplication::exit(1);
  });
  const int result = QCoreApplication::exec();
  worker.join();
  return result;
}

#include "RaceProbe.moc"
