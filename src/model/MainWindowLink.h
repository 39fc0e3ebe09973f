#pragma once

#include "model/DocFrameLinks.h"

#include <QString>

#include <array>
#include <cstdint>
#include <utility>

class COptions;

// The buttons of a board message, as a board window's AnswerWinCmd takes them.
namespace WinCmdButton {
enum : int { Ok = 1, Cancel = 2, Hide = 218 };
}

// The trace-buffer manager's download state and acquisition mode.
namespace TraceState {
enum : int { Offline = 0, Ready = 1, Download = 2 };
}
namespace TraceMode {
enum : int { Manual = 0, Automatic = 1 };
}

// The splitter's layout records: load one stored layout, store one.
namespace PaneCode {
enum : int { Load = 435, Store = 436 };
}

// A board's read state and command state, as the all-board procedures query
// them: going online, ready once online, busy with a procedure's step, done.
namespace BoardStep {
enum : int { None = -1, Failed = 0, Connecting = 1, Ready = 2, Busy = 3, Done = 4 };
}

// A board's trace settings as the trace manager takes them: (item index,
// value) of sampling_time, buf_length, diagn_ts, trig_lev_pos, trig_lev_neg
// and trig_delay; index -1 for an item its description lacks.
using TraceItems = std::array<std::pair<std::int16_t, float>, 6>;

// A board window as the main frame and the trace windows reach it, once its
// window id is resolved.
class IBoardWindow {
public:
  virtual ~IBoardWindow() = default;
  // Each returns the connection bits before (BoardState).
  virtual int GoOffline() = 0;
  // As GoOffline, but a write all it stops is not told of: the caller has
  // its own box or question for it.
  virtual int GoOfflineSilently() = 0;
  virtual int GoOnline() = 0;
  virtual int QueryState() const = 0;
  // The periodic read of the shown items.
  virtual void Poll() = 0;
  virtual int GetAddress() const = 0;
  virtual void SetAddress(int address) = 0;
  virtual void SetTestpoints(bool on) = 0;
  virtual void ShowError(const QString &text) = 0;
  virtual QString GetVersion() const = 0;
  virtual void ProcessAnswer(const CRequestPacket &pkt) = 0;
  // What a failed answer of this board cuts short, as the text of a message
  // box; empty when nothing is. Asked before the failure takes it offline.
  virtual QString CutShortText(const CRequestPacket &failed) const
  {
    (void)failed;
    return {};
  }
  // The visualization level moved to this one.
  virtual void LevelChanged(int level) = 0;
  virtual bool SaveAs() = 0;
  virtual bool SaveBackup(bool replace) = 0;
  // The splitter's layout goes to the main frame, the views relayout.
  virtual void NotifyMainFrame() = 0;
  // The user's button on the board message (WinCmdButton).
  virtual void AnswerWinCmd(int button) = 0;
  // The all-board procedures' actions: read all for a backup, save set 1.
  virtual void BackupReadAll() = 0;
  virtual void EepromSaveAll() = 0;
  virtual int GetReadState() const = 0;
  virtual int GetCmdState() const = 0;
  // The trace download: its file name, the label and scale of track 0..5.
  virtual QString GetBufferName() const = 0;
  virtual QString TrackLabel(int track) const = 0;
  virtual double TrackScale(int track) const = 0;
  // Asks the board for its trace buffer; false when nothing was asked (not
  // online, or no trace buffer in its description).
  virtual bool ReadBuffer() = 0;
  virtual void ClearBufferRead() = 0;
  // A trace setting typed by the user: written to an online board, then read
  // back; undoable, and the list's editor stays closed.
  virtual void WriteSetting(std::int16_t index, double value) = 0;
  // What its status report hands the trace manager, for a manager attached
  // to it while another window is active.
  virtual TraceItems GetTraceItems() const = 0;
};

// The open board windows by window id, as the main frame keeps them.
class IBoardLookup {
public:
  virtual ~IBoardLookup() = default;
  // The board window of an id, or null (gone, or not a board).
  virtual IBoardWindow *Child(WindowId id) const = 0;
};

// What views, trace windows and option pages reach through the main window:
// its settings, the serial queue and the option pages' requests. The main
// frame implements it and registers itself for its lifetime.
class IMainWindow : public IDocHost {
public:
  virtual COptions &GetOptions() = 0;
  // The serial settings were changed: the serial manager takes them.
  virtual void ApplySerialSettings() = 0;
  // A statistics answer for the page with this window id.
  virtual void RequestStatistics(WindowId page) = 0;
  virtual void ResetStatistics() = 0;
  // The timer and tab settings were changed.
  virtual void ApplyTimerAndTabs() = 0;
};

namespace MainWindowLink {
// The registered main window, or null (before start-up, after shutdown, in
// tests that install none).
inline IMainWindow *&Slot()
{
  static IMainWindow *s_main = nullptr;
  return s_main;
}
inline IMainWindow *Get()
{
  return Slot();
}
inline void Set(IMainWindow *main)
{
  Slot() = main;
}
} // namespace MainWindowLink
