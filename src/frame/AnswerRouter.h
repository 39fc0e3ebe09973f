#pragma once

// Answer routing: every answer the serial worker leaves goes to the board
// window it names, after the steps that belong to no single board (failed
// answers, the board version check, trace buffers, statistics). It reaches
// the frame only through the interfaces below, so a test runs it with a fake
// registry and no widget.

#include "frame/TraceManager.h"

#include "platform/WindowId.h"

#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

class CGenericServer;
class QObject;
class QWidget;
struct CRequestPacket;
struct CSerStatistics;

// Where answers wait: a fake in tests instead of the serial manager's list.
class IAnswerSource {
public:
  virtual ~IAnswerSource() = default;
  virtual int GetAnsPktListSize() const = 0;
  // The oldest answer, now the caller's; null when none.
  virtual CRequestPacket *GetAnsware() = 0;
};

// The board windows answers go to, as the main frame keeps them.
class IBoardRegistry : public IBoardLookup {
public:
  // The registered board windows, most recently activated first.
  virtual const std::vector<WindowId> &GetChildren() const = 0;
  virtual WindowId GetActiveChild() const = 0;
  virtual ITraceManager *GetTraceManager() const = 0;
};

// What answers show outside their board windows.
class IAnswerDisplay {
public:
  virtual ~IAnswerDisplay() = default;
  // The progress bar: a new run of so many steps, a step, the run's end.
  virtual void ProgressStart(long steps) = 0;
  virtual void ProgressStep(long step) = 0;
  virtual void ProgressEnd() = 0;
  // A failed answer empties the bar whatever it showed.
  virtual void ProgressAbort() = 0;
  // A failed exchange asks for a beep; the user may not want one.
  virtual void Beep() = 0;
  // The status bar's message pane.
  virtual void SetMessageText(const QString &text) = 0;
  // A statistics answer for the preferences page with this id.
  virtual void DeliverStatistics(WindowId page, const CSerStatistics &stats) = 0;
  // Every waiting answer is routed: the commands' states may have changed.
  virtual void AnswersRouted() = 0;
  // The owner of the version warning box.
  virtual QWidget *BoxParent() = 0;
};

// Whether a board window's connection bits meet the mask (BoardState).
bool BoardInState(const IBoardRegistry &boards, WindowId child, int mask);

class CAnswerRouter {
public:
  // The answer kind that only the main frame sees, and the error a wrong
  // board version is reported with.
  static constexpr unsigned kMainFrameOnlyKind = 14;
  static constexpr int kErrorWrongVersion = 99;

  CAnswerRouter(IBoardRegistry &boards, IAnswerDisplay &display);

  // Where answers are taken from: the source when set (tests), else the server.
  void SetServer(CGenericServer *server) { m_pServer = server; }
  void SetSource(IAnswerSource *source) { m_pSource = source; }

  // A note from the serial worker: the progress it reports, a beep, and
  // then every waiting answer.
  void OnServerAnswer(unsigned code, long argument);
  void DrainAnswers();
  // Runs the call once the answers in hand are all routed (at once when none
  // are being routed); dropped when the context is gone by then.
  void AfterAnswers(QObject *context, std::function<void()> call);
  void RouteAnswer(CRequestPacket &packet);
  // The steps no board window takes; true when the answer goes no further.
  bool ProcessAnswer(CRequestPacket &packet, bool activeChild);
  void NotifyAnswerError(CRequestPacket &packet, bool activeChild);
  // True when the board may not go online (not connecting, or its version
  // is not the document's; then it has been warned and taken offline).
  bool CheckBoardVersion(WindowId child, const QString &boardVersion);

private:
  std::unique_ptr<CRequestPacket> TakeAnswer();
  void ShowAnswerText(const CRequestPacket &packet, bool activeChild);
  void AddTraceBuffer(const CRequestPacket &packet);

  IBoardRegistry &m_boards;
  IAnswerDisplay &m_display;
  CGenericServer *m_pServer = nullptr; // not owned
  IAnswerSource *m_pSource = nullptr;  // not owned; tests
  int m_nDrainDepth = 0;               // a modal box may drain again inside a drain
  std::vector<std::pair<QPointer<QObject>, std::function<void()>>> m_afterAnswers;
};
