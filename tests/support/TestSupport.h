#pragma once

#include "platform/Launcher.h"
#include "platform/Prompter.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <csignal>
#include <functional>
#include <vector>

#include <sys/resource.h>

// Answers every question from a script and records what was asked; a
// question without a scripted answer is counted and gets what Escape would
// give (Cancel, or No, Abort, OK where the box has no Cancel; no file; no item).
class ScriptedPrompter : public Prompter {
public:
  struct Asked {
    enum Kind { Message, File, Menu } kind;
    QString text;    // message text, dialog title
    QString caption; // message caption, file filter
    unsigned type = 0;
    FileDialogRequest file;
    QList<PopupMenuItem> menu;
  };

  int MessageBox(const QString &text, const QString &caption, unsigned type, QWidget *parent) override;
  QString FileDialog(const FileDialogRequest &request, QWidget *parent) override;
  int PopupMenu(const QList<PopupMenuItem> &items, const QPoint &globalPos, QWidget *parent) override;

  void AnswerMessage(int id) { m_messageAnswers.push_back(id); }
  void AnswerFile(const QString &path) { m_fileAnswers.push_back(path); }
  void AnswerMenu(int id) { m_menuAnswers.push_back(id); }

  std::vector<Asked> asked;
  int unanswered = 0;

private:
  std::deque<int> m_messageAnswers;
  std::deque<QString> m_fileAnswers;
  std::deque<int> m_menuAnswers;
};

// Records what would have been started or opened; reports success unless told.
class RecordingLauncher : public Launcher {
public:
  bool StartProgram(const QString &program, const QStringList &arguments) override;
  bool Open(const QString &pathOrUrl) override;

  struct Started {
    QString program;
    QStringList arguments;
  };
  std::vector<Started> started;
  QStringList opened;
  bool succeed = true;
};

// Installs fresh test doubles (prompter, launcher, a profile in a temporary
// file, a counting beep) for one test and restores the previous ones after.
class TestEnvironment {
public:
  TestEnvironment();
  ~TestEnvironment();
  TestEnvironment(const TestEnvironment &) = delete;
  TestEnvironment &operator=(const TestEnvironment &) = delete;

  ScriptedPrompter &prompter() { return *m_prompter; }
  RecordingLauncher &launcher() { return *m_launcher; }
  QString profilePath() const { return m_profilePath; }
  static int beeps();
  static void resetBeeps();

private:
  ScriptedPrompter *m_prompter;  // owned by Prompter's slot
  RecordingLauncher *m_launcher; // owned by Launcher's slot
  QString m_dir;
  QString m_profilePath;
};

// Runs the event loop until pred() holds or timeoutMs pass; answers pred().
// The way to wait for another thread or process: never a fixed time.
bool WaitFor(const std::function<bool()> &pred, int timeoutMs = 10000);

// While it lives, no file of this process may grow past the given size and
// SIGXFSZ is ignored: a write past it fails with EFBIG, the way a full disk
// fails a write after the file was created.
class FileSizeLimit {
public:
  explicit FileSizeLimit(long long bytes);
  ~FileSizeLimit();
  FileSizeLimit(const FileSizeLimit &) = delete;
  FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
  rlimit m_limit{};
  struct sigaction m_action {};
};

// Path of a file under examples/.
QString ExamplePath(const QString &relative);

// Inputs that must be refused at once, made in folder: a FIFO nobody writes,
// a link to /dev/zero, a folder, and a sparse file one byte past the input
// bound whose first line is a document header.
QStringList MakeHostileFiles(const QString &folder);

#include <ostream>

// Readable QString values in GoogleTest failure messages.
inline void PrintTo(const QString &s, std::ostream *os)
{
  *os << '"' << s.toStdString() << '"';
}
