#pragma once

#include "model/MainWindowLink.h"
#include "platform/WindowId.h"

#include <QString>

#include <array>
#include <cstdint>

class QWidget;
struct CRequestPacket;

// What the main frame needs of the trace-buffer manager window; the trace
// layer implements it and plugs its factory in.
class ITraceManager {
public:
  // The trace window's states and modes, numbered as it numbers them.
  static constexpr int StateOffline = TraceState::Offline, StateReady = TraceState::Ready,
                       StateDownload = TraceState::Download;
  static constexpr int ModeManual = TraceMode::Manual, ModeAutomatic = TraceMode::Automatic;
  // More downloaded buffers than this stop the automatic mode.
  static constexpr int kMaxAutoBuffers = 10;

  virtual ~ITraceManager() = default;
  virtual QWidget *Window() = 0;
  // Attaches to a board window (kNoWindow detaches) with its address.
  virtual void SetAddress(WindowId board, int address) = 0;
  virtual WindowId GetBoardWindow() const = 0;
  // The board whose download runs (it may no longer be the attached one), or
  // kNoWindow. Only its trace answer becomes a buffer.
  virtual WindowId GetDownloadBoard() const = 0;
  virtual int GetState() const = 0;
  virtual void SetState(int state) = 0;
  virtual int GetMode() const = 0;
  virtual void SetMode(int mode) = 0;
  virtual int GetBufferCount() const = 0;
  virtual void ShowControls(bool show) = 0;
  virtual void UpdateFields() = 0;
  // The active board's trace settings (what the status update hands over).
  virtual void SetSamplingTime(float value) = 0;
  virtual void SetBufLength(std::int16_t value) = 0;
  virtual void SetDiagnTs(std::int16_t index, std::int16_t value) = 0;
  virtual void SetTrigLevPos(std::int16_t index, std::int16_t value) = 0;
  virtual void SetTrigLevNeg(std::int16_t index, std::int16_t value) = 0;
  virtual void SetTrigDelay(std::int16_t index, std::int16_t value) = 0;
  // Takes the buffer windows and the running download of the manager it
  // replaces (a language switch makes a new window; the buffers are board
  // data and stay).
  virtual void TakeOver(ITraceManager &previous) { (void)previous; }
  // A downloaded buffer; the packet is not kept.
  virtual void AddBufferWindow(const QString &header, const std::array<QString, 6> &labels,
                               const std::array<double, 6> &scales, const CRequestPacket &packet) = 0;
};
