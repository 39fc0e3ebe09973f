#pragma once

#include "model/MainWindowLink.h"
#include "modbus/RequestPacket.h"
#include "platform/WindowId.h"

#include <QImage>
#include <QObject>
#include <QString>

#include <array>
#include <vector>

class CChartCtrl;
class CGenMemBuff;
class ScriptedPrompter;

// The board windows as the main frame finds them: by the window registry.
const IBoardLookup &RegisteredBoards();

// A child frame as the trace windows see it: answers their calls, records
// the parameter writes and trace reads it is asked for, and takes the calls
// the trace windows never make.
class FakeChild : public QObject, public IBoardWindow {
  Q_OBJECT
public:
  FakeChild();
  ~FakeChild() override;
  int GoOffline() override { return 0; }
  int GoOfflineSilently() override { return 0; }
  int GoOnline() override { return 0; }
  void Poll() override {}
  void SetAddress(int) override {}
  void SetTestpoints(bool) override {}
  void ShowError(const QString &) override {}
  QString GetVersion() const override { return {}; }
  void ProcessAnswer(const CRequestPacket &) override {}
  void LevelChanged(int) override {}
  bool SaveAs() override { return false; }
  bool SaveBackup(bool) override { return false; }
  void NotifyMainFrame() override {}
  void AnswerWinCmd(int) override {}
  void BackupReadAll() override {}
  void EepromSaveAll() override {}
  int GetReadState() const override { return 0; }
  int GetCmdState() const override { return 0; }
  TraceItems GetTraceItems() const override { return {}; }

  int QueryState() const override { return flags; }
  int GetAddress() const override { return address; }
  QString GetBufferName() const override { return fileName; }
  QString TrackLabel(int track) const override { return labels[static_cast<size_t>(track)]; }
  double TrackScale(int track) const override { return scales[static_cast<size_t>(track)]; }
  bool ReadBuffer() override
  {
    ++traceReads;
    return true;
  }
  void ClearBufferRead() override { ++marksCleared; }
  void WriteSetting(std::int16_t index, double value) override { writes.push_back({index, value}); }

  struct Write {
    std::int16_t index;
    double value;
  };

  WindowId id = kNoWindow;
  int address = 5;
  int flags = 0x08;
  QString fileName = QStringLiteral("drive-a");
  std::array<QString, 6> labels;
  std::array<double, 6> scales{1, 1, 1, 1, 1, 1};
  std::vector<Write> writes;
  int traceReads = 0;
  int marksCleared = 0;
};

// A trace answer as the serial manager hands it back: sample-major words.
CRequestPacket TraceAnswer(WindowId child, int tracks, int samples, int words = -1);
// The word the answer above holds for sample i of track t.
std::int16_t TraceWord(int i, int t);

// The main frame's handling of a trace answer: the board's marks cleared,
// its name, labels and scales with the buffer. Answers the buffer's name.
QString RouteTraceAnswer(CGenMemBuff &mgr, IBoardWindow &board, const CRequestPacket &answer);
// Saves the current buffer as first.csv in folder, opens that file and saves
// it as second.csv; answers the first file's bytes, which the second must equal.
QByteArray SaveOpenSave(CGenMemBuff &mgr, ScriptedPrompter &prompter, const QString &folder);
bool WriteFile(const QString &path, const QByteArray &bytes);

// The chart drawn into an image of its own size.
QImage RenderChart(CChartCtrl &chart);
// Pixels of the chart's plot area painted in the colour.
int CountColour(const QImage &image, QRgb colour);
