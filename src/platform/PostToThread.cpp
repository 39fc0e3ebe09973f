#include "platform/PostToThread.h"

#include <QMetaObject>
#include <QObject>

#include <utility>

#if defined(__SANITIZE_THREAD__)
#define VELOTRIX_POST_TELLS_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define VELOTRIX_POST_TELLS_TSAN 1
#endif
#endif

#if defined(VELOTRIX_POST_TELLS_TSAN)
#include <sanitizer/tsan_interface.h>
#endif

namespace vtx {

namespace {

// The callable Qt keeps in its call object. Qt is not instrumented, so its
// queue's lock is invisible to ThreadSanitizer; the callable's own address
// inside that object is the token that orders the poster's writes, the call
// and the destruction, which Qt may do on either thread (the last one to
// drop its reference).
class Posted {
public:
  explicit Posted(std::function<void()> function) : m_function(std::move(function)) {}
  Posted(Posted &&other) noexcept : m_function(std::move(other.m_function))
  {
#if defined(VELOTRIX_POST_TELLS_TSAN)
    // The last move is the poster's last write into Qt's call object, which
    // Qt builds after it is handed this callable.
    __tsan_release(this);
#endif
  }
  Posted(const Posted &) = delete;
  Posted &operator=(const Posted &) = delete;
  Posted &operator=(Posted &&) = delete;
  ~Posted()
  {
#if defined(VELOTRIX_POST_TELLS_TSAN)
    __tsan_acquire(this);
#endif
  }

  void operator()()
  {
#if defined(VELOTRIX_POST_TELLS_TSAN)
    __tsan_acquire(this);
#endif
    if (m_function)
      m_function();
#if defined(VELOTRIX_POST_TELLS_TSAN)
    __tsan_release(this);
#endif
  }

private:
  std::function<void()> m_function;
};

} // namespace

void PostToThread(QObject *context, std::function<void()> function)
{
  QMetaObject::invokeMethod(context, Posted(std::move(function)), Qt::QueuedConnection);
}

} // namespace vtx
