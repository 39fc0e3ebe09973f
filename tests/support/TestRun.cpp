#include "TestRun.h"

#include "TestSupport.h"

#include "platform/Profile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <clocale>
#include <cstring>

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define VELOTRIX_UNDER_TSAN 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define VELOTRIX_UNDER_TSAN 1
#endif

#if defined(VELOTRIX_UNDER_TSAN) && defined(__x86_64__)
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>

namespace {

// QProcess starts children with a clone that shares our memory (when the
// kernel has process file descriptors); the child's calls then run through
// ThreadSanitizer's hooks on our own state, and every later lock of the main
// thread goes unseen. Refusing the probe for process file descriptors makes
// Qt fall back to a plain fork, which the sanitizer follows.
void ForkPlainlyForThreadSanitizer()
{
  constexpr unsigned kPidFd = 3; // P_PIDFD
  sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_waitid, 0, 3),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[0])),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kPidFd, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (EINVAL & SECCOMP_RET_DATA)),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  sock_fprog program{static_cast<unsigned short>(sizeof filter / sizeof filter[0]), filter};
  if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
    std::perror("ThreadSanitizer build: cannot make child processes fork plainly");
}

} // namespace
#endif

bool PrepareTestProgram(int &argc, char **argv)
{
#if defined(VELOTRIX_UNDER_TSAN) && defined(__x86_64__)
  ForkPlainlyForThreadSanitizer();
#endif
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--gtest_list_tests") == 0) {
      ::testing::InitGoogleTest(&argc, argv);
      return true;
    }
  }
  // Keep every test away from the user's own settings and files.
  QStandardPaths::setTestModeEnabled(true);
  return false;
}

int RunTests(int &argc, char **argv)
{
  QCoreApplication::setOrganizationName(QStringLiteral("Norv"));
  QCoreApplication::setApplicationName(QStringLiteral("Velotrix"));
  std::setlocale(LC_NUMERIC, "C");
  // No test may open a real dialog or start a program.
  Prompter::SetInstance(std::make_unique<ScriptedPrompter>());
  Launcher::SetInstance(std::make_unique<RecordingLauncher>());
  Profile::SetInstance(std::make_unique<Profile>(
      QDir::temp().filePath(QStringLiteral("velotrix-test-%1.ini").arg(QCoreApplication::applicationPid()))));
  ::testing::InitGoogleTest(&argc, argv);
  const int rc = RUN_ALL_TESTS();
  QFile::remove(Profile::Instance().FileName());
  return rc;
}
