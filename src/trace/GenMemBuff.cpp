#include "trace/GenMemBuff.h"

#include "trace/MemBuffDlg.h"

#include "controls/XGlyphButton.h"
#include "controls/XTabCtrl.h"
#include "model/MainWindowLink.h"
#include "model/generali.h"
#include "modbus/RequestPacket.h"
#include "platform/Format.h"
#include "platform/Prompter.h"
#include "platform/SaveFile.h"
#include "platform/DialogUnits.h"
#include "platform/StringIds.h"
#include "platform/Trace.h"

#include <QBuffer>
#include <QButtonGroup>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTime>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace {

// A slave address is one byte.
constexpr int kAddressByte = 0xFF;
constexpr int kMinWidth = 700;
constexpr int kMinHeight = 450;
constexpr int kMaxStartWidth = 1200;
constexpr int kMaxStartHeight = 700;

// The static labels of the layout: id, text, rect in dialog units.
struct StaticDef {
  int id;
  unsigned text; // a string id; 0: the unit "ms", the same in every language
  int x, y, w, h;
  bool edge;
};
constexpr StaticDef kStatics[] = {
    {CGenMemBuff::IDC_ADDRESS_LABEL, IDS_ADDRESS_LABEL, 67, 0, 26, 8, false},
    {264, IDS_TOT_SAMPLES, 284, 0, 42, 8, false},
    {265, IDS_SAMPLING_TIME_LABEL, 330, 0, 42, 8, false},
    {269, 0, 358, 11, 14, 10, true},
    {266, IDS_TRIGGER_DELAY_LABEL, 376, 0, 42, 8, false},
    {270, 0, 404, 11, 14, 10, true},
    {267, IDS_TRIG_LEV_POS, 422, 0, 42, 8, false},
    {268, IDS_TRIG_LEV_NEG, 468, 0, 42, 8, false},
};

struct EditDef {
  int id;
  int x, y, w, h;
  bool readOnly;
  bool digitsOnly;
};
constexpr EditDef kEdits[] = {
    {CGenMemBuff::IDC_ADDRESS, 67, 9, 24, 12, false, true},
    {CGenMemBuff::IDC_STATE, 240, 0, 42, 22, true, false},
    {CGenMemBuff::IDC_BUF_LENGTH, 284, 9, 43, 12, true, true},
    {CGenMemBuff::IDC_SAMPLING, 330, 9, 27, 12, false, false},
    {CGenMemBuff::IDC_TRIG_DELAY, 376, 9, 27, 12, false, false},
    {CGenMemBuff::IDC_TRIG_POS, 422, 9, 38, 12, false, false},
    {CGenMemBuff::IDC_TRIG_NEG, 468, 9, 39, 12, false, false},
};

// The layout was drawn for a narrower font than a Linux desktop's: the
// horizontal unit widens until every label and mode button of the current
// language fits its box, as far as the whole bar still fits a 1280-pixel
// screen.
CDialogUnits LayoutUnits(const QWidget *w)
{
  constexpr int kBarRight = 510; // dialog units
  constexpr int kMaxBaseX = kMaxStartWidth * 4 / kBarRight;
  CDialogUnits units(w->font());
  for (const StaticDef &d : kStatics)
    if (d.text)
      units.FitText(w->font(), LoadStr(d.text), d.w, 2, kMaxBaseX);
  units.FitText(w->font(), LoadStr(IDS_AUTOMATIC), 38, 16, kMaxBaseX);
  units.FitText(w->font(), LoadStr(IDS_MANUAL), 40, 16, kMaxBaseX);
  return units;
}

// The acquisition items are 16-bit parameters: a divider or delay computed
// beyond them (an infinity too) is limited to them rather than wrapped.
double LimitToParameter(double v)
{
  return std::clamp(v, double(std::numeric_limits<std::int16_t>::min()),
                    double(std::numeric_limits<std::int16_t>::max()));
}

// A typed number: the whole text must be one, blanks at either end aside.
// Infinities are numbers here (limited later); "nan" is not.
std::optional<double> ParseTyped(const QString &text)
{
  QString t = text.trimmed().toLower();
  bool negative = false;
  if (t.startsWith(u'-') || t.startsWith(u'+')) {
    negative = t.startsWith(u'-');
    const QString rest = t.mid(1);
    if (rest == u"inf" || rest == u"infinity")
      return negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
  } else if (t == u"inf" || t == u"infinity") {
    return std::numeric_limits<double>::infinity();
  }
  double v = 0.0;
  if (!vtx::ParseDouble(text, &v))
    return std::nullopt;
  return v;
}

QString TimeFormat(double value)
{
  const float v = static_cast<float>(value);
  return vtx::Format(GetPrecisionFormat(v), v);
}

} // namespace

CGenMemBuff::CGenMemBuff(QWidget *parent) : QDialog(parent)
{
  setWindowTitle(LoadStr(IDS_MEMORY_BUFFER_MANAGER));
  setWindowFlag(Qt::WindowMinMaxButtonsHint, true);
  setModal(false);
  BuildControls();
  OnInitDialog();
}

CGenMemBuff::~CGenMemBuff()
{
  // Each tab's window is the manager's: remove the tabs, then delete them.
  while (m_wndTab && m_wndTab->GetItemCount() > 0) {
    QWidget *w = m_wndTab->DeleteTab(std::max(0, m_wndTab->GetCurSel()));
    qCDebug(lcTrace, "cancella2 finestra %p", static_cast<void *>(w));
    delete w;
  }
}

void CGenMemBuff::BuildControls()
{
  // The layout's size, within a 1280 x 800 screen.
  const CDialogUnits units = LayoutUnits(this);
  auto dlu = [&units](int x, int y, int w, int h) { return units.Rect(x, y, w, h); };
  resize(dlu(0, 0, 600, 500)
             .size()
             .boundedTo(QSize(kMaxStartWidth, kMaxStartHeight))
             .expandedTo(QSize(kMinWidth, kMinHeight)));
  setMinimumSize(kMinWidth, kMinHeight);

  auto glyph = [this, dlu](int id, const char *text, int x) {
    auto *b = new CXGlyphButton(this);
    b->setText(QString::fromLatin1(text));
    b->setGeometry(dlu(x, 0, 21, 21));
    b->setAutoDefault(false);
    m_controls[id] = b;
    return b;
  };
  m_btnOpen = glyph(IDC_OPEN, "open", 0);
  m_btnSave = glyph(IDC_SAVE, "save", 21);
  m_btnClose = glyph(IDC_CLOSE, "canc", 42);
  connect(m_btnOpen, &QPushButton::clicked, this, &CGenMemBuff::OnOpen);
  connect(m_btnSave, &QPushButton::clicked, this, &CGenMemBuff::OnSave);
  connect(m_btnClose, &QPushButton::clicked, this, &CGenMemBuff::OnCloseTab);

  for (const StaticDef &s : kStatics) {
    auto *label = new QLabel(s.text ? LoadStr(s.text) : QStringLiteral("ms"), this);
    label->setGeometry(dlu(s.x, s.y, s.w, s.h));
    if (s.edge)
      label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->hide();
    m_controls[s.id] = label;
  }
  for (const EditDef &e : kEdits) {
    if (e.id == IDC_STATE) {
      // Two lines high: the state texts of some languages need both.
      auto *state = new QLabel(this);
      state->setGeometry(dlu(e.x, e.y, e.w, e.h));
      state->setFrameStyle(QFrame::Panel | QFrame::Sunken);
      state->setAlignment(Qt::AlignCenter);
      state->setWordWrap(true);
      state->setAutoFillBackground(true);
      state->setBackgroundRole(QPalette::Base);
      state->hide();
      m_controls[e.id] = state;
      continue;
    }
    auto *edit = new QLineEdit(this);
    edit->setGeometry(dlu(e.x, e.y, e.w, e.h));
    edit->setAlignment(Qt::AlignCenter);
    edit->setReadOnly(e.readOnly);
    if (e.digitsOnly)
      edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    edit->hide();
    m_controls[e.id] = edit;
  }

  m_modeGroup = new QButtonGroup(this);
  m_modeGroup->setExclusive(true);
  auto radio = [this, dlu](int id, unsigned text, int x, int w) {
    auto *b = new QPushButton(LoadStr(text), this);
    b->setCheckable(true);
    b->setAutoDefault(false);
    b->setGeometry(dlu(x, 2, w, 22));
    b->hide();
    m_modeGroup->addButton(b, id);
    m_controls[id] = b;
  };
  radio(IDC_AUTOMATIC, IDS_AUTOMATIC, 101, 38);
  radio(IDC_MANUAL, IDS_MANUAL, 142, 40);
  connect(m_modeGroup, &QButtonGroup::idClicked, this, [this](int) { OnModeRadio(); });

  m_btnDownload = new QPushButton(LoadStr(IDS_DOWNLOAD_BUFFER), this);
  m_btnDownload->setGeometry(dlu(195, 0, 38, 22));
  m_btnDownload->setAutoDefault(false);
  m_btnDownload->hide();
  m_controls[IDC_DOWNLOAD] = m_btnDownload;
  connect(m_btnDownload, &QPushButton::clicked, this, &CGenMemBuff::OnDownload);

  m_wndTab = new CXTabCtrl(this);
  m_controls[IDC_TAB] = m_wndTab;
}

void CGenMemBuff::OnInitDialog()
{
  EnableDialogTheme(this);
  m_wndTab->setGeometry(rect().adjusted(0, TabTop(), 0, 0));
  m_btnOpen->SetWingDingButton(CXGlyphButton::GlyphOpen);
  m_btnSave->SetWingDingButton(CXGlyphButton::GlyphSave);
  m_btnClose->SetWingDingButton(CXGlyphButton::GlyphClose);
  SetMode(ModeManual);
}

int CGenMemBuff::TabTop() const
{
  return m_btnOpen->height() + 2;
}

QWidget *CGenMemBuff::GetDlgItem(int id) const
{
  const auto it = m_controls.find(id);
  return it == m_controls.end() ? nullptr : it->second;
}

QString CGenMemBuff::GetItemText(int id) const
{
  if (auto *edit = qobject_cast<QLineEdit *>(GetDlgItem(id)))
    return edit->text();
  if (auto *label = qobject_cast<QLabel *>(GetDlgItem(id)))
    return label->text();
  return {};
}

void CGenMemBuff::SetItemText(int id, const QString &text)
{
  if (auto *edit = qobject_cast<QLineEdit *>(GetDlgItem(id)))
    edit->setText(text);
  else if (auto *label = qobject_cast<QLabel *>(GetDlgItem(id)))
    label->setText(text);
}

IBoardWindow *CGenMemBuff::Board() const
{
  return m_pBoards && m_hBoardWnd != kNoWindow ? m_pBoards->Child(m_hBoardWnd) : nullptr;
}

void CGenMemBuff::ResetBoardValues()
{
  m_nBufLength = -111;
  m_fSamplingTime = -222.0f;
  m_nDiagnTs = -333;
  m_nTrigDelay = -444;
  m_nTrigLevPos = -555;
  m_nTrigLevNeg = -666;
  m_idxDiagnTs = m_idxTrigLevPos = m_idxTrigLevNeg = m_idxTrigDelay = -1;
  m_strSamplingTime.clear();
  m_strTrigDelay.clear();
  m_strTrigLevPos.clear();
  m_strTrigLevNeg.clear();
}

void CGenMemBuff::SetAddress(WindowId hBoardWnd, int address)
{
  if (hBoardWnd != m_hBoardWnd)
    ResetBoardValues();
  SetItemText(IDC_ADDRESS, vtx::Format(u"%d", address));
  m_hBoardWnd = hBoardWnd;
  for (int id : {IDC_BUF_LENGTH, IDC_SAMPLING, IDC_TRIG_DELAY, IDC_TRIG_POS, IDC_TRIG_NEG})
    SetItemText(id, QString());
  m_nMode = ModeManual;
  // A download keeps its state until its own board answers or goes offline.
  if (m_hDownloadWnd == kNoWindow)
    SetState(StateReady);
  if (m_hBoardWnd != kNoWindow)
    ShowControls(true);
}

void CGenMemBuff::UpdateFields()
{
  if (m_hBoardWnd == kNoWindow) {
    for (int id : {IDC_SAMPLING, IDC_TRIG_DELAY, IDC_TRIG_POS, IDC_TRIG_NEG, IDC_BUF_LENGTH})
      SetItemText(id, QString());
    return;
  }
  if (m_fSamplingTime >= 0) {
    if (m_nDiagnTs >= 0) {
      const double sampling = m_nDiagnTs == 0 ? double(m_fSamplingTime) : m_nDiagnTs * double(m_fSamplingTime);
      m_strSamplingTime = TimeFormat(sampling);
      SetItemText(IDC_SAMPLING, m_strSamplingTime);
    }
    if (m_nTrigDelay >= 0 && m_nDiagnTs >= 0) {
      double delay = m_nTrigDelay * double(m_fSamplingTime);
      if (m_nDiagnTs != 0)
        delay *= m_nDiagnTs;
      m_strTrigDelay = TimeFormat(delay);
      SetItemText(IDC_TRIG_DELAY, m_strTrigDelay);
    }
  }
  m_strTrigLevPos = vtx::Format(u"%d", m_nTrigLevPos);
  m_strTrigLevNeg = vtx::Format(u"%d", m_nTrigLevNeg);
  SetItemText(IDC_TRIG_POS, m_strTrigLevPos);
  SetItemText(IDC_TRIG_NEG, m_strTrigLevNeg);
  if (m_nBufLength >= 0)
    SetItemText(IDC_BUF_LENGTH, vtx::Format(u"%d", m_nBufLength));
}

void CGenMemBuff::ShowControls(bool show)
{
  static constexpr int kSettings[] = {IDC_AUTOMATIC,
                                      IDC_MANUAL,
                                      IDC_ADDRESS_LABEL,
                                      264,
                                      265,
                                      266,
                                      267,
                                      268,
                                      269,
                                      270,
                                      IDC_ADDRESS,
                                      IDC_STATE,
                                      IDC_BUF_LENGTH,
                                      IDC_SAMPLING,
                                      IDC_TRIG_DELAY,
                                      IDC_TRIG_POS,
                                      IDC_TRIG_NEG};
  for (int id : kSettings) {
    if (QWidget *w = GetDlgItem(id)) {
      w->setVisible(show);
      w->setEnabled(show);
    }
  }
  m_btnDownload->setVisible(show && m_nMode == ModeManual);
  UpdateDownloadButton();
}

void CGenMemBuff::UpdateDownloadButton()
{
  // One download at a time.
  m_btnDownload->setEnabled(!m_btnDownload->isHidden() && m_hDownloadWnd == kNoWindow);
}

void CGenMemBuff::SetMode(int mode)
{
  m_nMode = mode;
  if (mode == ModeAutomatic)
    static_cast<QPushButton *>(GetDlgItem(IDC_AUTOMATIC))->setChecked(true);
  else if (mode == ModeManual)
    static_cast<QPushButton *>(GetDlgItem(IDC_MANUAL))->setChecked(true);
}

void CGenMemBuff::OnModeRadio()
{
  const int checked = m_modeGroup->checkedId();
  if (checked == IDC_AUTOMATIC)
    m_nMode = ModeAutomatic;
  else if (checked == IDC_MANUAL)
    m_nMode = ModeManual;
}

void CGenMemBuff::SetState(int state)
{
  if (state < StateOffline || state > StateDownload) {
    VTX_ASSERT(!"unknown trace state");
    return;
  }
  m_hDownloadWnd = state == StateDownload ? m_hBoardWnd : kNoWindow;
  if (state == StateDownload) {
    m_downloadTimes = ChartTimes();
    // Posted, so the click returns at once. A child frame closed meanwhile,
    // or one that cannot ask (not online), ends the download at once.
    const WindowId id = m_hBoardWnd;
    QMetaObject::invokeMethod(
        this,
        [this, id] {
          IBoardWindow *target = m_pBoards ? m_pBoards->Child(id) : nullptr;
          if ((!target || !target->ReadBuffer()) && m_hDownloadWnd == id)
            SetState(StateReady);
        },
        Qt::QueuedConnection);
  }
  ShowState(state);
}

void CGenMemBuff::ShowState(int state)
{
  unsigned text = IDS_BUFFER_OFFLINE;
  if (state == StateReady)
    text = IDS_BUFFER_READY;
  else if (state == StateDownload)
    text = IDS_BUFFER_DOWNLOAD;
  m_nState = state;
  SetItemText(IDC_STATE, LoadStr(text));
  UpdateDownloadButton();
}

int CGenMemBuff::GetBufferCount() const
{
  return m_wndTab->GetItemCount();
}

CMemBuffDlg *CGenMemBuff::GetBufferWindow(int tab) const
{
  return qobject_cast<CMemBuffDlg *>(m_wndTab->GetTabWindow(tab));
}

void CGenMemBuff::keyPressEvent(QKeyEvent *event)
{
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    OnOk();
    return;
  }
  QDialog::keyPressEvent(event);
}

void CGenMemBuff::resizeEvent(QResizeEvent *event)
{
  QDialog::resizeEvent(event);
  const int cx = width();
  const int cy = height();
  if (cx > 0 && cy > 0 && m_wndTab) {
    const int h = TabTop();
    m_wndTab->setGeometry(0, h, cx, std::max(0, cy - h));
    m_wndTab->update();
  }
}

void CGenMemBuff::OnOk()
{
  qCDebug(lcTrace, "CGenMemBuff::OnOk()");
  if (m_hBoardWnd == kNoWindow)
    return;
  // A child frame that is gone answers as a window that no longer exists: 0.
  const IBoardWindow *board = Board();
  const int boardAddress = board ? board->GetAddress() & kAddressByte : 0;
  const int typed = vtx::AtoiLike(GetItemText(IDC_ADDRESS));
  if (typed != boardAddress) {
    SetAddress(kNoWindow, 0);
    ShowControls(false);
    GetDlgItem(IDC_ADDRESS)->show();
    GetDlgItem(IDC_ADDRESS)->setEnabled(true);
    GetDlgItem(IDC_ADDRESS_LABEL)->show();
    if (m_selectChild && typed >= 0 && typed <= kAddressByte)
      m_selectChild(static_cast<std::uint8_t>(typed));
    return;
  }
  // Every edit is read before the first write: a write refreshes the status,
  // which empties and refills the edits, and would lose what is typed there.
  const QString sampling = GetItemText(IDC_SAMPLING);
  const QString delay = GetItemText(IDC_TRIG_DELAY);
  const QString levelPos = GetItemText(IDC_TRIG_POS);
  const QString levelNeg = GetItemText(IDC_TRIG_NEG);
  const bool samplingTyped = sampling != m_strSamplingTime;
  const bool delayTyped = m_nDiagnTs >= 0 && delay != m_strTrigDelay;
  const bool levelPosTyped = levelPos != m_strTrigLevPos;
  const bool levelNegTyped = levelNeg != m_strTrigLevNeg;
  if (samplingTyped)
    ApplySamplingTime(sampling);
  if (delayTyped)
    ApplyTrigDelay(delay);
  if (levelPosTyped)
    ApplyTrigLevel(IDC_TRIG_POS, levelPos, m_idxTrigLevPos, m_strTrigLevPos);
  if (levelNegTyped)
    ApplyTrigLevel(IDC_TRIG_NEG, levelNeg, m_idxTrigLevNeg, m_strTrigLevNeg);
}

void CGenMemBuff::WriteParameter(std::int16_t index, double value)
{
  if (IBoardWindow *board = Board())
    board->WriteSetting(index, value);
}

// New divider: the typed period over the base period, truncated toward zero.
// Refused (the edit shows its last text again) when the text is no number,
// the base period is not known or not positive, the result is negative, or
// the divider has no parameter.
void CGenMemBuff::ApplySamplingTime(const QString &typed)
{
  const std::optional<double> ms = ParseTyped(typed);
  const double base = m_fSamplingTime;
  if (ms && base > 0 && std::isfinite(base) && m_idxDiagnTs >= 0) {
    const double ratio = *ms / base;
    if (!std::isnan(ratio)) {
      // The base comes as a float (0.1 is 0.100000001): a typed whole
      // multiple of it must not truncate to the one below.
      const double divider = LimitToParameter(std::trunc(ratio + 1e-6 * std::max(1.0, std::abs(ratio))));
      if (divider >= 0) {
        WriteParameter(m_idxDiagnTs, divider);
        return;
      }
    }
  }
  SetItemText(IDC_SAMPLING, m_strSamplingTime);
}

// New delay in samples (not made whole): the typed time over the effective
// sampling period. Refused like the sampling time, except that without a
// parameter for it a number is neither sent nor taken back: the user's text
// stays.
void CGenMemBuff::ApplyTrigDelay(const QString &typed)
{
  const std::optional<double> ms = ParseTyped(typed);
  if (ms && m_idxTrigDelay < 0) {
    SetItemText(IDC_TRIG_DELAY, typed);
    return;
  }
  const double base = m_fSamplingTime;
  if (ms && base > 0 && std::isfinite(base)) {
    double samples = *ms / base;
    if (m_nDiagnTs != 0)
      samples /= m_nDiagnTs;
    if (!std::isnan(samples)) {
      samples = LimitToParameter(samples);
      if (samples >= 0) {
        WriteParameter(m_idxTrigDelay, samples);
        return;
      }
    }
  }
  SetItemText(IDC_TRIG_DELAY, m_strTrigDelay);
}

// The typed level as given (the child frame clamps it to the parameter's
// limits); only an infinity is limited here. Without a parameter nothing is
// sent and the typed number stays; a text that is no number is taken back.
void CGenMemBuff::ApplyTrigLevel(int editId, const QString &typed, std::int16_t index, const QString &kept)
{
  const std::optional<double> level = ParseTyped(typed);
  if (!level) {
    SetItemText(editId, kept);
    return;
  }
  if (index >= 0)
    WriteParameter(index, std::isinf(*level) ? LimitToParameter(*level) : *level);
  else
    SetItemText(editId, typed);
}

void CGenMemBuff::OnDownload()
{
  if (m_nMode != ModeManual || m_hBoardWnd == kNoWindow || m_hDownloadWnd != kNoWindow)
    return;
  SetState(StateDownload);
}

std::pair<float, float> CGenMemBuff::ChartTimes() const
{
  // Times the window cannot know show as -1: a base period not yet arrived
  // (negative) gives no time at all, a delay not yet arrived no delay.
  float sampling = -1.0f;
  float delay = -1.0f;
  if (m_fSamplingTime > 0 && m_nDiagnTs == 0)
    sampling = m_fSamplingTime;
  else if (m_fSamplingTime > 0 && m_nDiagnTs > 0)
    sampling = m_nDiagnTs * m_fSamplingTime;
  if (sampling >= 0 && m_nTrigDelay >= 0)
    delay = m_nTrigDelay * sampling;
  return {sampling, delay};
}

CMemBuffDlg *CGenMemBuff::NewBufferWindow()
{
  auto *wnd = new CMemBuffDlg(m_wndTab);
  if (!wnd->Create(m_wndTab)) {
    VTX_ASSERT(!"chart window not created");
    delete wnd;
    return nullptr;
  }
  qCDebug(lcTrace, "nuova finestra %p", static_cast<void *>(wnd));
  return wnd;
}

void CGenMemBuff::AddBufferWindow(QString &name, const std::array<QString, 6> &labels,
                                  const std::array<double, 6> &scales, const CRequestPacket &packet)
{
  // The scale factors stay the main frame's: every track starts at the
  // shared default gain.
  Q_UNUSED(scales);
  name += QTime::currentTime().toString(QStringLiteral("-HH:mm:ss"));
  CMemBuffDlg *wnd = NewBufferWindow();
  if (!wnd)
    return;
  m_wndTab->AddTab(wnd, name, 0);
  // The window may show another board by now.
  const auto [sampling, delay] =
      packet.hWnd != kNoWindow && packet.hWnd == m_hDownloadWnd ? m_downloadTimes : ChartTimes();
  wnd->ShowBuffer(labels, sampling, delay, packet);
  m_wndTab->SelectTab(m_wndTab->GetItemCount() - 1);
}

void CGenMemBuff::OnOpen()
{
  FileDialogRequest request;
  request.open = true;
  request.title = LoadStr(IDS_OPEN_DOCUMENT);
  request.filter = LoadStr(IDS_BUFFER_FILE_FILTER);
  request.fileMustExist = true;
  const QString path = Prompter::Instance().FileDialog(request, this);
  if (path.isEmpty())
    return;
  const QString caption = GetFileNameFromPath(path, true) + QTime::currentTime().toString(QStringLiteral("-HH:mm:ss"));
  CMemBuffDlg *wnd = NewBufferWindow();
  if (!wnd)
    return;
  // Loaded before it becomes a tab: a refused file adds none.
  if (!wnd->LoadBuffer(path)) {
    delete wnd;
    return;
  }
  m_wndTab->AddTab(wnd, caption, 0);
  m_wndTab->SelectTab(m_wndTab->GetItemCount() - 1);
}

void CGenMemBuff::OnSave()
{
  CMemBuffDlg *wnd = GetBufferWindow(m_wndTab->GetCurSel());
  if (!wnd)
    return;
  FileDialogRequest request;
  request.open = false;
  request.title = LoadStr(IDS_SAVE_DOCUMENT);
  request.filter = LoadStr(IDS_BUFFER_FILE_FILTER);
  request.overwritePrompt = true;
  const QString path = Prompter::Instance().FileDialog(request, this);
  if (path.isEmpty())
    return;
  QByteArray bytes;
  QBuffer out(&bytes);
  out.open(QIODevice::WriteOnly);
  const vtx::SaveError failure = wnd->SaveBuffer(out) ? vtx::SaveFileAtomically(path, bytes) : vtx::SaveError::Other;
  if (failure != vtx::SaveError::None)
    AfxMessageBox(vtx::SaveErrorText(failure, path), MB_ICONWARNING);
}

void CGenMemBuff::OnCloseTab()
{
  if (m_wndTab->GetItemCount() < 1)
    return;
  QWidget *w = m_wndTab->DeleteTab(m_wndTab->GetCurSel());
  qCDebug(lcTrace, "cancella1 finestra %p", static_cast<void *>(w));
  delete w;
  if (m_wndTab->GetItemCount() > 0)
    m_wndTab->SelectTab(m_wndTab->GetItemCount() - 1);
}

void CGenMemBuff::TakeBufferWindows(CGenMemBuff &from)
{
  if (&from == this || !from.m_wndTab || !m_wndTab)
    return;
  const int selected = from.m_wndTab->GetCurSel();
  const int first = m_wndTab->GetItemCount();
  while (from.m_wndTab->GetItemCount() > 0) {
    const QString caption = from.m_wndTab->GetTabText(0);
    if (QWidget *w = from.m_wndTab->DeleteTab(0))
      m_wndTab->AddTab(w, caption, 0);
  }
  if (m_wndTab->GetItemCount() > first)
    m_wndTab->SelectTab(first + std::max(0, selected));
  // Not through SetState: the request is on its way already.
  if (from.m_hDownloadWnd != kNoWindow) {
    m_hDownloadWnd = from.m_hDownloadWnd;
    m_downloadTimes = from.m_downloadTimes;
    ShowState(StateDownload);
  }
}
