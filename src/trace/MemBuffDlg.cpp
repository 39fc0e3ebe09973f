#include "trace/MemBuffDlg.h"

#include "chart/ChartCtrl.h"
#include "controls/TitleTip.h"
#include "model/BoundedFile.h"
#include "model/PacketFactory.h"
#include "model/generali.h"
#include "modbus/RequestPacket.h"
#include "optiontree/OptionTree.h"
#include "platform/Format.h"
#include "platform/Prompter.h"
#include "platform/DialogUnits.h"
#include "platform/StringIds.h"
#include "platform/Trace.h"

#include <QBuffer>
#include <QResizeEvent>

#include <algorithm>
#include <new>

namespace {

constexpr int kMargin = 4; // space around the chart and the tree
constexpr int kTreeWidth = 200;
constexpr int kLabelColumn = 100;
constexpr unsigned kTreeOptions = 0x19;
constexpr unsigned kNumericEdit = 0x200;
constexpr unsigned kCheckOptions = 0x40000;

QString TimeText(double ms)
{
  const float value = static_cast<float>(ms);
  return vtx::Format(GetPrecisionFormat(value), value) + QStringLiteral(" ms");
}

QString GainText(double v)
{
  return vtx::Format(u"%g", v);
}

// Axis limits show as whole numbers, clamped so the conversion stays defined.
int AxisInt(double v)
{
  return static_cast<int>(std::clamp(v, -2147483648.0, 2147483647.0));
}

} // namespace

std::array<double, CMemBuffDlg::kTracks> &CMemBuffDlg::DefaultGains()
{
  static std::array<double, kTracks> g_dDefaultGain{1, 1, 1, 1, 1, 1};
  return g_dDefaultGain;
}

std::array<double, CMemBuffDlg::kTracks> &CMemBuffDlg::DefaultOffsets()
{
  static std::array<double, kTracks> g_dDefaultOffset{};
  return g_dDefaultOffset;
}

CMemBuffDlg::CMemBuffDlg(QWidget *parent)
    : QWidget(parent), m_dTrackOffset(DefaultOffsets()), m_dTrackGain(DefaultGains())
{
}

CMemBuffDlg::~CMemBuffDlg() = default;

bool CMemBuffDlg::Create(QWidget *parent)
{
  if (parent && parentWidget() != parent)
    setParent(parent);
  resize(CDialogUnits(font()).Size(644, 267));
  m_wndChart = new CChartCtrl(this);
  m_wndChart->setObjectName(QStringLiteral("chart"));
  m_wndTree = new COptionTree;
  OnInitDialog();
  return m_wndTree != nullptr;
}

void CMemBuffDlg::OnInitDialog()
{
  EnableDialogTheme(this);
  const QRect shrunk = rect().adjusted(kMargin, kMargin, -2 * kMargin, -2 * kMargin);
  QRect chart = shrunk;
  chart.setWidth(std::max(0, shrunk.width() - kTreeWidth));
  m_wndChart->setGeometry(chart);
  m_wndChart->CreateStandardAxis(0);
  m_wndChart->CreateStandardAxis(1);
  m_wndChart->GetLeftAxis()->SetMinMax(m_dAxisMin, m_dAxisMax);
  m_wndChart->SetBackColor(RGB(204, 204, 204));

  const QRect tree(shrunk.right() - kTreeWidth + 1, shrunk.top(), kTreeWidth, shrunk.height());
  if (!m_wndTree->Create(true, tree, this, kTreeOptions, IDC_TREE)) {
    qCWarning(lcTrace, "Failed to create options control.");
    delete m_wndTree;
    m_wndTree = nullptr;
    return;
  }
  m_wndTree->SetNotify(true, this);
  connect(m_wndTree, &COptionTree::OnItemChanged, this, &CMemBuffDlg::OnTreeItemChanged);
  m_wndTree->SetColumn(kLabelColumn);
  InsertItems();
  m_wndTitleTip = std::make_unique<CTitleTip>();
  m_wndTitleTip->Create(this);
}

void CMemBuffDlg::InsertItems()
{
  COptionTree &tree = *m_wndTree;
  auto *names = tree.InsertItem(new COptionTreeItem);
  names->SetLabelText(LoadStr(IDS_TRACK_NAME));
  names->SetInfoText(LoadStr(IDS_TRACKS_SETUP));

  for (int t = 0; t < kTracks; ++t) {
    const auto ti = static_cast<size_t>(t);
    const COLORREF color = m_wndChart->GetSeriesColorTable(t);
    auto *track = tree.InsertItem(new COptionTreeItemStatic);
    track->SetLabelText(LoadStrFormat(IDS_TRACK_N, t));
    track->SetInfoText(LoadStrFormat(IDS_SHOW_TRACK_N, t));
    m_pTrackItem[ti] = track;

    // A track's gain or offset: a numeric edit on the track's colour.
    auto numberItem = [&](unsigned label, unsigned tip, double value, int id) {
      auto *item = tree.InsertItem(new COptionTreeItemEdit, track);
      item->SetLabelText(LoadStr(label));
      item->SetInfoText(LoadStr(tip));
      if (item->CreateEditItem(kNumericEdit, 0))
        item->SetWindowText(GainText(value));
      item->SetCtrlID(id);
      item->SetLabelBackgroundColor(color);
      return item;
    };
    m_pGainItem[ti] = numberItem(IDS_GAIN, IDS_GAIN_TIP, m_dTrackGain[ti], IDC_GAIN0 + t);
    m_pOffsetItem[ti] = numberItem(IDS_OFFSET, IDS_OFFSET_TIP, m_dTrackOffset[ti], IDC_OFFSET0 + t);
  }

  auto *axis = tree.InsertItem(new COptionTreeItem);
  axis->SetLabelText(LoadStr(IDS_AXIS));
  axis->SetInfoText(LoadStr(IDS_AXIS_SETUP));
  auto *left = tree.InsertItem(new COptionTreeItemStatic, axis);
  left->SetLabelText(LoadStr(IDS_LEFT_AXIS));
  left->SetInfoText(LoadStr(IDS_AXIS_SETUP));

  auto *show = tree.InsertItem(new COptionTreeItemCheckBox, left);
  show->SetLabelText(LoadStr(IDS_SHOW));
  if (show->CreateCheckBoxItem(1, kCheckOptions))
    show->SetCheckText(LoadStr(IDS_SHOW), LoadStr(IDS_HIDE));
  show->SetCtrlID(IDC_SHOW_AXIS);

  auto *grid = tree.InsertItem(new COptionTreeItemCheckBox, left);
  grid->SetLabelText(LoadStr(IDS_GRID));
  grid->SetInfoText(LoadStr(IDS_GRID_TIP));
  if (grid->CreateCheckBoxItem(1, kCheckOptions))
    grid->SetCheckText(LoadStr(IDS_SHOW), LoadStr(IDS_HIDE));
  grid->SetCtrlID(IDC_SHOW_GRID);

  auto *max = tree.InsertItem(new COptionTreeItemEdit, left);
  max->SetLabelText(LoadStr(IDS_MAXIMUM));
  max->SetInfoText(LoadStr(IDS_MAXIMUM_TIP));
  if (max->CreateEditItem(kNumericEdit, 0))
    max->SetWindowText(vtx::Format(u"%d", AxisInt(m_dAxisMax)));
  max->SetCtrlID(IDC_AXIS_MAX);

  auto *min = tree.InsertItem(new COptionTreeItemEdit, left);
  min->SetLabelText(LoadStr(IDS_MINIMUM));
  min->SetInfoText(LoadStr(IDS_MINIMUM_TIP));
  if (min->CreateEditItem(kNumericEdit, 0))
    min->SetWindowText(vtx::Format(u"%d", AxisInt(m_dAxisMin)));
  min->SetCtrlID(IDC_AXIS_MIN);

  auto *bufferData = tree.InsertItem(new COptionTreeItemStatic);
  bufferData->SetLabelText(LoadStr(IDS_BUFFER_DATA));

  m_pSamplingItem = tree.InsertItem(new COptionTreeItemEdit, bufferData);
  m_pSamplingItem->SetLabelText(LoadStr(IDS_SAMPLING_TIME));
  m_pSamplingItem->CreateEditItem(0, 0);
  m_pSamplingItem->ReadOnly(true);
  m_pSamplingItem->SetCtrlID(IDC_SAMPLING);

  m_pTrigDelayItem = tree.InsertItem(new COptionTreeItemEdit, bufferData);
  m_pTrigDelayItem->SetLabelText(LoadStr(IDS_TRIGGER_DELAY));
  m_pTrigDelayItem->CreateEditItem(0, 0);
  m_pTrigDelayItem->ReadOnly(true);
  m_pTrigDelayItem->SetCtrlID(IDC_TRIG_DELAY);
  ShowTimes();
}

void CMemBuffDlg::ShowTimes()
{
  if (m_pSamplingItem)
    m_pSamplingItem->SetWindowText(TimeText(m_dSamplingTime));
  if (m_pTrigDelayItem)
    m_pTrigDelayItem->SetWindowText(TimeText(m_dTrigDelay));
}

QString CMemBuffDlg::GetTrackLabel(int track) const
{
  if (track < 0 || track >= kTracks || !m_pTrackItem[static_cast<size_t>(track)])
    return {};
  return m_pTrackItem[static_cast<size_t>(track)]->GetLabelText();
}

double CMemBuffDlg::GetRaw(int track, unsigned sample) const
{
  if (track < 0 || track >= kTracks || sample >= kMaxSamples)
    return 0.0;
  return m_dRaw[static_cast<size_t>(track)][sample];
}

void CMemBuffDlg::ShowBuffer(const std::array<QString, kTracks> &labels, float samplingTime, float trigDelay,
                             const CRequestPacket &packet)
{
  // The main frame deletes the answer once routed: keep a copy.
  std::unique_ptr<CRequestPacket> copy;
  try {
    copy = std::make_unique<CRequestPacket>(kNoWindow);
    *copy = packet;
  } catch (const std::bad_alloc &) {
    PacketFactory::SayNoMemory();
    return;
  }
  m_pPacket = std::move(copy);

  for (int t = 0; t < kTracks; ++t) {
    const auto ti = static_cast<size_t>(t);
    if (!labels[ti].isEmpty() && m_pTrackItem[ti])
      m_pTrackItem[ti]->SetLabelText(labels[ti]);
  }
  m_dSamplingTime = samplingTime;
  m_dTrigDelay = trigDelay;
  ShowTimes();

  // Sample i of track t is word i * tracks + t. Each word is taken by its
  // index, so a buffer of more than 6 tracks keeps its samples in place and a
  // short data array ends the samples at the last complete one.
  const CRequestPacket &p = *m_pPacket;
  const size_t tracks = p.trace_tracks;
  const size_t words = p.wAnsData.size();
  size_t samples = 0;
  if (tracks > 0)
    samples = std::min<size_t>({p.trace_samples, kMaxSamples, words / tracks});
  for (auto &track : m_dRaw)
    track.fill(0.0);
  const size_t shown = std::min<size_t>(tracks, kTracks);
  for (size_t i = 0; i < samples; ++i)
    for (size_t t = 0; t < shown; ++t)
      m_dRaw[t][i] = static_cast<int16_t>(p.wAnsData[i * tracks + t]);
  m_nSamples = static_cast<unsigned>(samples);

  m_wndChart->GetBottomAxis()->SetAutomatic(true);
  for (int t = 0; t < kTracks; ++t) {
    ComputeStep(t);
    // The last sample shows as a point at its own X, without its closing step.
    PlotTrack(t, PointCount(1));
  }
  if (m_wndTree)
    m_wndTree->ExpandAllItems();
}

int CMemBuffDlg::PointCount(int lessThanAll) const
{
  return std::max(0, 2 * static_cast<int>(m_nSamples) - lessThanAll);
}

void CMemBuffDlg::ComputeStep(int track)
{
  const auto t = static_cast<size_t>(track);
  const double gain = m_dTrackGain[t];
  const double offset = m_dTrackOffset[t];
  for (unsigned i = 0; i < m_nSamples; ++i) {
    m_dX[2 * i] = i;
    m_dX[2 * i + 1] = i + 1;
    m_dY[t][2 * i] = m_dY[t][2 * i + 1] = gain * m_dRaw[t][i] + offset;
  }
}

void CMemBuffDlg::PlotTrack(int track, int count)
{
  const auto t = static_cast<size_t>(track);
  if (!m_pSeries[t])
    m_pSeries[t] = m_wndChart->CreateLineSerie(false, false);
  else
    m_pSeries[t]->ClearSerie();
  m_pSeries[t]->SetSeriesOrdering(0);
  m_pSeries[t]->SetPoints(m_dX.data(), m_dY[t].data(), count);
}

void CMemBuffDlg::OnTreeItemChanged(int code, COptionTreeItem *pItem)
{
  if (code != COptionTree::OT_NOTIFY_ITEMCHANGED || !pItem)
    return;
  const int id = pItem->GetCtrlID();
  switch (id) {
  case IDC_SHOW_AXIS:
    m_wndChart->GetLeftAxis()->SetVisible(static_cast<COptionTreeItemCheckBox *>(pItem)->GetCheck());
    m_wndChart->RefreshCtrl();
    return;
  case IDC_SHOW_GRID:
    m_wndChart->GetLeftAxis()->GetGrid()->SetVisible(static_cast<COptionTreeItemCheckBox *>(pItem)->GetCheck());
    m_wndChart->RefreshCtrl();
    return;
  case IDC_AXIS_MIN:
  case IDC_AXIS_MAX:
    OnAxisLimit(static_cast<COptionTreeItemEdit *>(pItem), id == IDC_AXIS_MIN);
    return;
  default:
    break;
  }
  if (id >= IDC_GAIN0 && id < IDC_GAIN0 + kTracks)
    OnGainOffset(id - IDC_GAIN0);
  else if (id >= IDC_OFFSET0 && id < IDC_OFFSET0 + kTracks)
    OnGainOffset(id - IDC_OFFSET0);
  else
    VTX_ASSERT(id == IDC_SAMPLING || id == IDC_TRIG_DELAY);
}

void CMemBuffDlg::OnAxisLimit(COptionTreeItemEdit *item, bool isMinimum)
{
  int value = 0;
  const bool reads = item->GetEditInt(value);
  if (isMinimum && reads && value < m_dAxisMax) {
    m_dAxisMin = value;
  } else if (!isMinimum && reads && value > m_dAxisMin) {
    m_dAxisMax = value;
  } else {
    item->SetWindowText(vtx::Format(u"%d", AxisInt(isMinimum ? m_dAxisMin : m_dAxisMax)));
    return;
  }
  m_wndChart->GetLeftAxis()->SetMinMax(m_dAxisMin, m_dAxisMax);
  m_wndChart->RefreshCtrl();
}

void CMemBuffDlg::OnGainOffset(int track)
{
  const auto t = static_cast<size_t>(track);
  // A text that is not a finite number is refused and shows the value in use.
  double gain = 0.0;
  if (m_pGainItem[t]->GetEditDouble(gain)) {
    m_dTrackGain[t] = gain;
    DefaultGains()[t] = gain;
  } else {
    m_pGainItem[t]->SetWindowText(GainText(m_dTrackGain[t]));
  }
  double offset = 0.0;
  if (m_pOffsetItem[t]->GetEditDouble(offset)) {
    m_dTrackOffset[t] = offset;
    DefaultOffsets()[t] = offset;
  } else {
    m_pOffsetItem[t]->SetWindowText(GainText(m_dTrackOffset[t]));
  }
  // A window without data has no series to touch.
  if (!m_pSeries[t])
    return;
  ComputeStep(track);
  PlotTrack(track, PointCount(2));
}

bool CMemBuffDlg::SaveBuffer(QIODevice &ar) const
{
  if (!VTX_ASSERT(ar.isWritable()))
    return false;
  auto buffer = std::make_unique<CBufferData>();
  for (int t = 0; t < kTracks; ++t)
    buffer->names[static_cast<size_t>(t)] = GetTrackLabel(t);
  buffer->gains = m_dTrackGain;
  buffer->offsets = m_dTrackOffset;
  buffer->samplingTime = m_dSamplingTime;
  buffer->trigDelay = m_dTrigDelay;
  buffer->raw = m_dRaw;
  buffer->nSamples = m_nSamples;
  const QByteArray bytes = BufferFile::Write(*buffer);
  return ar.write(bytes) == bytes.size();
}

bool CMemBuffDlg::LoadBuffer(const QString &path)
{
  auto buffer = std::make_unique<CBufferData>();
  for (int t = 0; t < kTracks; ++t)
    buffer->names[static_cast<size_t>(t)] = GetTrackLabel(t);
  buffer->gains = m_dTrackGain;
  buffer->offsets = m_dTrackOffset;
  buffer->samplingTime = m_dSamplingTime;
  buffer->trigDelay = m_dTrigDelay;

  // A FIFO, a device or an oversized file is refused before any read.
  QByteArray bytes;
  BufferFile::ReadError why;
  bool complete = vtx::ReadBoundedFile(path, &bytes);
  if (complete) {
    QBuffer file(&bytes);
    complete = file.open(QIODevice::ReadOnly) && BufferFile::Read(file, *buffer, &why);
  }
  // A refused file changes nothing: half a header would show names and gains
  // of a buffer whose samples never came, a nan or a cut number data that
  // the file does not hold.
  if (!complete) {
    qCWarning(lcTrace) << "buffer file not read:" << path;
    QString text = LoadStr(IDS_FILE_READ_ERROR);
    if (why.kind == BufferFile::ReadError::NotFinite || why.kind == BufferFile::ReadError::LineCut) {
      qCDebug(lcTrace) << "refused at line" << why.line;
      const unsigned reason =
          why.kind == BufferFile::ReadError::NotFinite ? IDS_BUFFER_NOT_FINITE : IDS_BUFFER_LINE_CUT;
      text += u'\n' + GetFileNameFromPath(path, true) + u'\n' + LoadStrFormat(reason, why.line);
    }
    AfxMessageBox(text, MB_ICONWARNING);
    return false;
  }
  for (int t = 0; t < kTracks; ++t) {
    const auto ti = static_cast<size_t>(t);
    if (m_pTrackItem[ti])
      m_pTrackItem[ti]->SetLabelText(buffer->names[ti]);
  }
  m_dTrackGain = buffer->gains;
  m_dTrackOffset = buffer->offsets;
  m_dSamplingTime = buffer->samplingTime;
  m_dTrigDelay = buffer->trigDelay;
  ShowTimes();
  m_dRaw = buffer->raw;
  m_nSamples = std::min<unsigned>(buffer->nSamples, kMaxSamples);
  m_wndChart->GetBottomAxis()->SetAutomatic(true);
  for (int t = 0; t < kTracks; ++t) {
    ComputeStep(t);
    PlotTrack(t, PointCount(2));
  }
  for (int t = 0; t < kTracks; ++t) {
    const auto ti = static_cast<size_t>(t);
    if (m_pGainItem[ti])
      m_pGainItem[ti]->SetWindowText(GainText(m_dTrackGain[ti]));
    if (m_pOffsetItem[ti])
      m_pOffsetItem[ti]->SetWindowText(GainText(m_dTrackOffset[ti]));
  }
  if (m_wndTree)
    m_wndTree->ExpandAllItems();
  return true;
}

void CMemBuffDlg::resizeEvent(QResizeEvent *event)
{
  const int cx = event->size().width();
  const int cy = event->size().height();
  if (cx > 0 && cy > 0) {
    if (m_wndChart)
      m_wndChart->setGeometry(kMargin, kMargin, std::max(0, cx - kTreeWidth - 2 * kMargin),
                              std::max(0, cy - 2 * kMargin));
    if (m_wndTree)
      m_wndTree->setGeometry(cx - kTreeWidth - kMargin, kMargin, kTreeWidth, std::max(0, cy - 2 * kMargin));
  }
  QWidget::resizeEvent(event);
}
