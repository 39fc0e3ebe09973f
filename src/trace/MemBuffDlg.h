#pragma once

#include "trace/BufferFile.h"

#include <QString>
#include <QWidget>

#include <array>
#include <memory>

class CChartCtrl;
class CChartLineSerie;
class COptionTree;
class COptionTreeItem;
class COptionTreeItemEdit;
class COptionTreeItemStatic;
class CTitleTip;
class QIODevice;
struct CRequestPacket;

// The chart window of one trace buffer: up to 6 tracks of up to 1000 samples
// drawn as step curves, beside a property tree with each track's gain and
// offset, the left axis settings and the buffer's times. Lives in a tab of
// the memory-buffer manager. GUI thread only.
class CMemBuffDlg : public QWidget {
  Q_OBJECT
public:
  static constexpr int kTracks = CBufferData::kTracks;
  static constexpr int kMaxSamples = CBufferData::kMaxSamples;
  enum : int {
    IDC_CHART = 702,
    IDC_TREE = 707,
    IDC_SHOW_AXIS = 200,
    IDC_SHOW_GRID = 201,
    IDC_AXIS_MIN = 204,
    IDC_AXIS_MAX = 205,
    IDC_SAMPLING = 206,
    IDC_TRIG_DELAY = 207,
    IDC_GAIN0 = 220,
    IDC_OFFSET0 = 230,
  };

  explicit CMemBuffDlg(QWidget *parent = nullptr);
  ~CMemBuffDlg() override;

  // Makes the chart and the tree (the dialog's initialization); false when
  // the tree cannot be made.
  bool Create(QWidget *parent);

  // Copies the trace answer and plots it; labels that are not empty name the
  // tracks.
  void ShowBuffer(const std::array<QString, kTracks> &labels, float samplingTime, float trigDelay,
                  const CRequestPacket &packet);
  // Writes the buffer file; false when not every byte was written.
  bool SaveBuffer(QIODevice &ar) const;
  // Reads the buffer file at path into this (new) window and plots it; a file
  // that cannot be read, ends within its header, holds a number that is not
  // finite or ends inside a line is reported, changes nothing and gives false.
  bool LoadBuffer(const QString &path);

  // The gains and offsets that new windows of this run start with.
  static std::array<double, kTracks> &DefaultGains();
  static std::array<double, kTracks> &DefaultOffsets();

  CChartCtrl *GetChart() const { return m_wndChart; }
  COptionTree *GetTree() const { return m_wndTree; }
  CChartLineSerie *GetSerie(int track) const { return m_pSeries[static_cast<size_t>(track)]; }
  const CRequestPacket *GetPacket() const { return m_pPacket.get(); }
  unsigned GetSampleCount() const { return m_nSamples; }
  double GetRaw(int track, unsigned sample) const;
  double GetGain(int track) const { return m_dTrackGain[static_cast<size_t>(track)]; }
  double GetOffset(int track) const { return m_dTrackOffset[static_cast<size_t>(track)]; }
  double GetSamplingTime() const { return m_dSamplingTime; }
  double GetTrigDelay() const { return m_dTrigDelay; }
  double GetAxisMin() const { return m_dAxisMin; }
  double GetAxisMax() const { return m_dAxisMax; }
  QString GetTrackLabel(int track) const;
  COptionTreeItemEdit *GetGainItem(int track) const { return m_pGainItem[static_cast<size_t>(track)]; }
  COptionTreeItemEdit *GetOffsetItem(int track) const { return m_pOffsetItem[static_cast<size_t>(track)]; }
  COptionTreeItemEdit *GetSamplingItem() const { return m_pSamplingItem; }
  COptionTreeItemEdit *GetTrigDelayItem() const { return m_pTrigDelayItem; }

protected:
  void resizeEvent(QResizeEvent *event) override;

private:
  void OnInitDialog();
  void InsertItems();
  void OnTreeItemChanged(int code, COptionTreeItem *pItem);
  void OnAxisLimit(COptionTreeItemEdit *item, bool isMinimum);
  void OnGainOffset(int track);
  void ShowTimes();
  // The step curve of a track: each sample held from i to i + 1.
  void ComputeStep(int track);
  // Gives the track's series the first count points of its step curve,
  // making the series when it does not exist yet.
  void PlotTrack(int track, int count);
  int PointCount(int lessThanAll) const;

  std::unique_ptr<CRequestPacket> m_pPacket;
  COptionTree *m_wndTree = nullptr;                            // owned as a child
  CChartCtrl *m_wndChart = nullptr;                            // owned as a child
  std::array<COptionTreeItemEdit *, kTracks> m_pGainItem{};    // owned by the tree
  std::array<COptionTreeItemEdit *, kTracks> m_pOffsetItem{};  // owned by the tree
  COptionTreeItemEdit *m_pSamplingItem = nullptr;              // owned by the tree
  COptionTreeItemEdit *m_pTrigDelayItem = nullptr;             // owned by the tree
  std::array<COptionTreeItemStatic *, kTracks> m_pTrackItem{}; // owned by the tree
  std::array<CChartLineSerie *, kTracks> m_pSeries{};          // owned by the chart
  std::unique_ptr<CTitleTip> m_wndTitleTip;
  std::array<double, 2 * kMaxSamples> m_dX{};
  std::array<std::array<double, kMaxSamples>, kTracks> m_dRaw{};
  std::array<std::array<double, 2 * kMaxSamples>, kTracks> m_dY{};
  std::array<double, kTracks> m_dTrackOffset{};
  std::array<double, kTracks> m_dTrackGain{};
  double m_dTrigDelay = 0.0;
  double m_dAxisMax = 33000.0;
  double m_dAxisMin = -33000.0;
  double m_dSamplingTime = 0.1;
  unsigned m_nSamples = 0;
};
