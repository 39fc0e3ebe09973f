#pragma once

#include "frame/MainFrm.h"

#include <QPointer>

#include <memory>

#include "trace/GenMemBuff.h"

// Plugs the real windows into the frames: the four views of a board window,
// the find dialog and the trace-buffer manager. The application calls it at
// start-up; tests call it when they want the real windows. GUI thread only.
void InstallViews();

// The main frame's trace manager over the memory-buffer manager window.
class CTraceManagerAdapter : public ITraceManager {
public:
  explicit CTraceManagerAdapter(CMainFrame &frame);
  ~CTraceManagerAdapter() override;

  QWidget *Window() override;
  void SetAddress(WindowId board, int address) override;
  WindowId GetBoardWindow() const override;
  WindowId GetDownloadBoard() const override;
  int GetState() const override;
  void SetState(int state) override;
  int GetMode() const override;
  void SetMode(int mode) override;
  int GetBufferCount() const override;
  void ShowControls(bool show) override;
  void UpdateFields() override;
  void SetSamplingTime(float value) override;
  void SetBufLength(std::int16_t value) override;
  void SetDiagnTs(std::int16_t index, std::int16_t value) override;
  void SetTrigLevPos(std::int16_t index, std::int16_t value) override;
  void SetTrigLevNeg(std::int16_t index, std::int16_t value) override;
  void SetTrigDelay(std::int16_t index, std::int16_t value) override;
  void AddBufferWindow(const QString &header, const std::array<QString, 6> &labels, const std::array<double, 6> &scales,
                       const CRequestPacket &packet) override;
  void TakeOver(ITraceManager &previous) override;

  CGenMemBuff *Manager() const { return m_pWnd; }

private:
  QPointer<CGenMemBuff> m_pWnd; // a child of the main frame; deleted with the adapter
};
