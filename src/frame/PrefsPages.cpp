#include "PrefsPages.h"

#include "controls/XColorStatic.h"
#include "model/MainWindowLink.h"
#include "model/generali.h"
#include "modbus/SerManager.h"
#include "platform/Cp1252.h"
#include "platform/Options.h"
#include "platform/ScreenFit.h"
#include "platform/StringIds.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <span>

namespace {

IMainWindow *Main()
{
  return MainWindowLink::Get();
}

QLabel *Label(QWidget *parent, const QString &text, const QRect &du)
{
  auto *label = new QLabel(text, parent);
  label->setGeometry(du);
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  return label;
}

QGroupBox *Group(QWidget *parent, const QString &title, const QRect &du)
{
  auto *group = new QGroupBox(title, parent);
  group->setGeometry(du);
  group->lower();
  return group;
}

QLineEdit *DigitsEdit(QWidget *parent, const QRect &du)
{
  auto *edit = new QLineEdit(parent);
  edit->setGeometry(du);
  // Typing takes digits only; a sign can still arrive as text.
  edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
  return edit;
}

QCheckBox *Check(QWidget *parent, const QString &text, const QRect &du)
{
  auto *check = new QCheckBox(text, parent);
  check->setGeometry(du);
  return check;
}

// Four check boxes to their values (save) or back.
void ExchangeChecks(bool save, QCheckBox *const (&checks)[4], int (&values)[4])
{
  for (int i = 0; i < 4; ++i) {
    if (save)
      values[i] = checks[i]->isChecked() ? 1 : 0;
    else
      checks[i]->setChecked(values[i] != 0);
  }
}

// A text of a template and its box, in dialog units.
struct TextBox {
  unsigned text;
  int x, y, w, h;
};

QRect Box(const CZuPrefsSubDlg &page, const TextBox &b)
{
  return page.Units().Rect(b.x, b.y, b.w, b.h);
}

void AddTexts(std::vector<CPageText> &texts, std::span<const TextBox> boxes, CPageText::Kind kind)
{
  for (const TextBox &b : boxes)
    texts.push_back({LoadStr(b.text), b.w, b.h, kind});
}

// Figures shown with "%u": clamped, so nonsense from the link never overflows.
QString CountText(double value)
{
  if (!std::isfinite(value) || value <= 0)
    return QStringLiteral("0");
  const double top = double(std::numeric_limits<unsigned>::max());
  return QString::number(unsigned(std::min(value, top)));
}

} // namespace

// ---------------------------------------------------------------- Serial Com

namespace {
constexpr TextBox kPortGroup = {IDS_COM_PORT_SETTINS, 7, 7, 258, 80};
constexpr TextBox kPortLabels[] = {{IDS_PORT, 55, 19, 48, 12},
                                   {IDS_SPEED, 55, 32, 48, 12},
                                   {IDS_TIMEOUT_MS, 55, 45, 48, 12},
                                   {IDS_SILENT_TIME_MS, 55, 58, 48, 12},
                                   {IDS_RETRY_ON_ERROR, 55, 71, 48, 12}};
constexpr TextBox kBeepCheck = {IDS_BEEP_ON_ERROR, 165, 20, 56, 11};
constexpr TextBox kDeviceLabel = {IDS_DEVICE, 165, 45, 40, 12};
constexpr TextBox kInfoGroup = {IDS_SERIAL_INFO, 7, 89, 258, 90};
constexpr TextBox kStatLabels[] = {{IDS_TOTAL_MODBUS_ERROR, 15, 118, 90, 12},
                                   {IDS_COMM_CORRETTE, 15, 132, 90, 12},
                                   {IDS_MEAN_ANSWARE_TIME_MS, 15, 145, 90, 12}};
constexpr TextBox kResetButton = {IDS_RESET_STATISTICS, 199, 156, 58, 16};
} // namespace

CDiag1::CDiag1(COptions &options)
    : CZuPrefsSubDlg(315), m_options(options), m_nPort(options.com_port.Get()), m_nTimeout(options.com_timeout.Get()),
      m_nSilent(options.com_silent.Get()), m_nRetry(options.com_retry.Get()), m_nBeep(options.Beep_on_error.Get()),
      m_strSpeed(QString::number(options.com_speed.Get()))
{
  m_statTimer.setInterval(kStatPeriodMs);
  connect(&m_statTimer, &QTimer::timeout, this, &CDiag1::OnStatTimer);
}

CDiag1::~CDiag1()
{
  DestroyPage();
}

QString CDiag1::DeviceText(int port)
{
  const QString env = qEnvironmentVariable("VELOTRIX_SERIAL_DEVICE");
  if (!env.isEmpty())
    return env;
  return CSerManager::DeviceForPort(port);
}

std::vector<CPageText> CDiag1::Texts() const
{
  std::vector<CPageText> texts;
  for (const TextBox &group : {kPortGroup, kInfoGroup})
    AddTexts(texts, {&group, 1}, CPageText::Group);
  AddTexts(texts, kPortLabels, CPageText::Label);
  AddTexts(texts, {&kDeviceLabel, 1}, CPageText::Label);
  AddTexts(texts, kStatLabels, CPageText::Label);
  AddTexts(texts, {&kBeepCheck, 1}, CPageText::Check);
  AddTexts(texts, {&kResetButton, 1}, CPageText::Button);
  return texts;
}

void CDiag1::BuildControls()
{
  Group(this, LoadStr(kPortGroup.text), Box(*this, kPortGroup));
  for (const TextBox &b : kPortLabels)
    Label(this, LoadStr(b.text), Box(*this, b));
  m_pPortEdit = DigitsEdit(this, DialogUnits(105, 19, 46, 12));
  m_pTimeoutEdit = DigitsEdit(this, DialogUnits(105, 45, 46, 12));
  m_pSilentEdit = DigitsEdit(this, DialogUnits(105, 58, 46, 12));
  m_pRetryEdit = DigitsEdit(this, DialogUnits(105, 71, 46, 12));
  m_pSpeedCombo = new QComboBox(this);
  m_pSpeedCombo->setGeometry(DialogUnits(105, 32, 46, 12));
  m_pSpeedCombo->addItems({QStringLiteral("9600"), QStringLiteral("19200"), QStringLiteral("38400"),
                           QStringLiteral("57600"), QStringLiteral("115200")});
  m_pBeepCheck = Check(this, LoadStr(kBeepCheck.text), Box(*this, kBeepCheck));
  m_pBeepCheck->setLayoutDirection(Qt::RightToLeft);
  // Which device the port opens on this machine, so a user sees at once
  // whether /dev/ttyUSB0 or the override is in use.
  Label(this, LoadStr(kDeviceLabel.text), Box(*this, kDeviceLabel));
  m_pDeviceEdit = new QLineEdit(this);
  m_pDeviceEdit->setGeometry(DialogUnits(165, 58, 92, 12));
  m_pDeviceEdit->setReadOnly(true);
  m_pDeviceEdit->setFocusPolicy(Qt::NoFocus);
  connect(m_pPortEdit, &QLineEdit::textChanged, this, [this](const QString &text) {
    bool ok = false;
    const int port = text.toInt(&ok);
    m_pDeviceEdit->setText(ok && port >= 1 && port <= 99 ? DeviceText(port) : QString());
  });

  Group(this, LoadStr(kInfoGroup.text), Box(*this, kInfoGroup));
  const int editYs[] = {118, 131, 144};
  for (int i = 0; i < 3; ++i) {
    Label(this, LoadStr(kStatLabels[i].text), Box(*this, kStatLabels[i]));
    m_pStatEdit[i] = new QLineEdit(this);
    m_pStatEdit[i]->setGeometry(DialogUnits(107, editYs[i], 46, 12));
    m_pStatEdit[i]->setReadOnly(true);
    m_pStatEdit[i]->setAlignment(Qt::AlignRight);
  }
  m_pResetButton = new QPushButton(LoadStr(kResetButton.text), this);
  m_pResetButton->setGeometry(Box(*this, kResetButton));
  m_pResetButton->setAutoDefault(false);
  connect(m_pResetButton, &QPushButton::clicked, this, [] {
    if (IMainWindow *main = Main())
      main->ResetStatistics();
  });
  m_statRecord.hWnd = WindowRegistry::Instance().Register(this);
}

bool CDiag1::DoDataExchange(bool save)
{
  if (!IsCreated())
    return true;
  if (!save) {
    DdxInt(m_pPortEdit, &m_nPort, false, 1, 99);
    DdxInt(m_pTimeoutEdit, &m_nTimeout, false, 1, 2000);
    DdxInt(m_pSilentEdit, &m_nSilent, false, 0, 50);
    DdxInt(m_pRetryEdit, &m_nRetry, false, -1, 20);
    m_pBeepCheck->setChecked(m_nBeep != 0);
    int select = -1;
    for (int i = 0; i < m_pSpeedCombo->count() && select < 0; ++i)
      if (!m_strSpeed.isEmpty() && m_pSpeedCombo->itemText(i).startsWith(m_strSpeed))
        select = i;
    m_pSpeedCombo->setCurrentIndex(select);
    if (!m_bTimerStarted) {
      m_statTimer.start();
      m_bTimerStarted = true;
      for (QLineEdit *edit : m_pStatEdit)
        edit->setText(QStringLiteral("*"));
    }
    return true;
  }
  int port = m_nPort, timeout = m_nTimeout, silent = m_nSilent, retry = m_nRetry;
  if (!DdxInt(m_pPortEdit, &port, true, 1, 99) || !DdxInt(m_pTimeoutEdit, &timeout, true, 1, 2000) ||
      !DdxInt(m_pSilentEdit, &silent, true, 0, 50) || !DdxInt(m_pRetryEdit, &retry, true, -1, 20))
    return false;
  m_nPort = port;
  m_nTimeout = timeout;
  m_nSilent = silent;
  m_nRetry = retry;
  m_nBeep = m_pBeepCheck->isChecked() ? 1 : 0;
  // No choice in the list keeps the stored speed rather than storing 0.
  if (m_pSpeedCombo->currentIndex() >= 0)
    m_strSpeed = m_pSpeedCombo->currentText().left(6);
  return true;
}

void CDiag1::OnOK()
{
  m_options.com_port.Set(m_nPort);
  m_options.com_speed.Set(std::atoi(m_strSpeed.toLatin1().constData()));
  m_options.com_timeout.Set(m_nTimeout);
  m_options.com_silent.Set(m_nSilent);
  m_options.com_retry.Set(m_nRetry);
  m_options.Beep_on_error.Set(m_nBeep);
  if (IMainWindow *main = Main())
    main->ApplySerialSettings();
  CZuPrefsSubDlg::OnOK();
}

void CDiag1::RestoreDefaults()
{
  m_nPort = 1;
  m_strSpeed = QStringLiteral("19200");
  m_nTimeout = 300;
  m_nSilent = 16;
  m_nRetry = 5;
  m_nBeep = 1;
  DoDataExchange(false);
}

void CDiag1::OnStatTimer()
{
  if (!IsCreated())
    return;
  m_statRecord.hWnd = WindowRegistry::Instance().Register(this);
  if (IMainWindow *main = Main())
    main->RequestStatistics(m_statRecord.hWnd);
}

void CDiag1::ShowStatistics(const CSerStatistics &stats)
{
  m_statRecord.stats = stats;
  ShowStatistics();
}

bool CDiag1::DeliverStatistics(WindowId page, const CSerStatistics &stats)
{
  auto *diag = WindowRegistry::Instance().ResolveAs<CDiag1>(page);
  if (!diag || !diag->IsCreated())
    return false;
  diag->ShowStatistics(stats);
  return true;
}

void CDiag1::ShowStatistics()
{
  if (!IsCreated())
    return;
  m_pStatEdit[0]->setText(CountText(m_statRecord.stats.totalErrors));
  m_pStatEdit[1]->setText(CountText(m_statRecord.stats.correctComms));
  const double mean = m_statRecord.stats.meanAnswerTimeMs;
  m_pStatEdit[2]->setText(QString::asprintf("%.1f", std::isfinite(mean) ? mean : 0.0));
}

void CDiag1::OnDestroy()
{
  m_statTimer.stop();
  if (m_statRecord.hWnd != kNoWindow)
    WindowRegistry::Instance().Unregister(m_statRecord.hWnd);
  m_statRecord.hWnd = kNoWindow;
  m_bTimerStarted = false;
}

// ---------------------------------------------------------------- Graphics

CDiag2::CDiag2(COptions &options)
    : CZuPrefsSubDlg(316), m_options(options), m_nValue{options.Start_Timer.Get(), options.TabsOnTop.Get(),
                                                        options.TabsImages.Get(), options.HideTabsLess2Views.Get()}
{
}

namespace {
constexpr TextBox kGeneralGroup = {IDS_GENERAL_SETTINGS, 7, 7, 258, 172};
constexpr TextBox kGraphicsChecks[] = {{IDS_ENABLE_TIMER_READ_TESTPOINT, 19, 41, 236, 12},
                                       {IDS_TABS_DOC_TOP, 19, 57, 236, 12},
                                       {IDS_TABS_IMAGES, 19, 74, 236, 12},
                                       {IDS_HIDE_TABS_WHEN_THERE, 19, 90, 236, 12}};
} // namespace

std::vector<CPageText> CDiag2::Texts() const
{
  std::vector<CPageText> texts;
  AddTexts(texts, {&kGeneralGroup, 1}, CPageText::Group);
  AddTexts(texts, kGraphicsChecks, CPageText::Check);
  return texts;
}

void CDiag2::BuildControls()
{
  Group(this, LoadStr(kGeneralGroup.text), Box(*this, kGeneralGroup));
  for (int i = 0; i < 4; ++i)
    m_pCheck[i] = Check(this, LoadStr(kGraphicsChecks[i].text), Box(*this, kGraphicsChecks[i]));
}

bool CDiag2::DoDataExchange(bool save)
{
  if (!IsCreated())
    return true;
  ExchangeChecks(save, m_pCheck, m_nValue);
  return true;
}

void CDiag2::OnOK()
{
  m_options.Start_Timer.Set(m_nValue[0]);
  m_options.TabsOnTop.Set(m_nValue[1]);
  m_options.TabsImages.Set(m_nValue[2]);
  m_options.HideTabsLess2Views.Set(m_nValue[3]);
  if (IMainWindow *main = Main())
    main->ApplyTimerAndTabs();
  CZuPrefsSubDlg::OnOK();
}

void CDiag2::RestoreDefaults()
{
  m_nValue[0] = 1;
  m_nValue[1] = 1;
  m_nValue[2] = 1;
  m_nValue[3] = 0;
  DoDataExchange(false);
}

// ---------------------------------------------------------------- FileImport

CDiag5::CDiag5(COptions &options) : CZuPrefsSubDlg(339), m_options(options)
{
  const auto settings = Settings();
  for (int i = 0; i < 4; ++i)
    m_nValue[i] = settings[size_t(i)]->Get();
}

std::array<COptionInt *, 4> CDiag5::Settings() const
{
  return {&m_options.C_conv_tXX_WithDefault, &m_options.ResetWriteIdx1, &m_options.ResetWriteIdx2,
          &m_options.ResetWriteIdx3};
}

namespace {
constexpr TextBox kImportGroup = {IDS_NON_SONO_ANCORA_IMPLEMENTATE, 7, 7, 258, 172};
constexpr TextBox kImportChecks[] = {{IDS_IMPORT_C_CONV_TXX, 47, 26, 178, 12},
                                     {IDS_RESET_C_PAR1_WR, 47, 42, 178, 12},
                                     {IDS_RESET_C_PAR2_WR, 47, 58, 178, 12},
                                     {IDS_RESET_C_PAR3_WR, 47, 74, 178, 12}};
} // namespace

std::vector<CPageText> CDiag5::Texts() const
{
  std::vector<CPageText> texts;
  AddTexts(texts, {&kImportGroup, 1}, CPageText::Group);
  AddTexts(texts, kImportChecks, CPageText::Check);
  return texts;
}

void CDiag5::BuildControls()
{
  Group(this, LoadStr(kImportGroup.text), Box(*this, kImportGroup));
  for (int i = 0; i < 4; ++i) {
    m_pCheck[i] = Check(this, LoadStr(kImportChecks[i].text), Box(*this, kImportChecks[i]));
    m_pCheck[i]->setEnabled(false);
  }
}

bool CDiag5::DoDataExchange(bool save)
{
  if (!IsCreated())
    return true;
  ExchangeChecks(save, m_pCheck, m_nValue);
  return true;
}

void CDiag5::OnOK()
{
  const auto settings = Settings();
  for (int i = 0; i < 4; ++i)
    settings[size_t(i)]->Set(m_nValue[i]);
  CZuPrefsSubDlg::OnOK();
}

void CDiag5::RestoreDefaults()
{
  const auto settings = Settings();
  for (int i = 0; i < 4; ++i)
    m_nValue[i] = settings[size_t(i)]->DefaultValue();
  DoDataExchange(false);
}

// ---------------------------------------------------------------- Colors

namespace {

struct ColorCell {
  int x, y, w;    // sample, dialog units
  int swatchX[2]; // text, background swatch x
  COptionColor COptions::*text;
  COptionColor COptions::*background;
};

const ColorCell kColorCells[CDiag4::kCells] = {
    {131, 38, 34, {167, 183}, &COptions::CorpoTestoOfflineDef, &COptions::SfondoTestoOfflineDef},
    {199, 38, 34, {235, 251}, &COptions::CorpoTestoOnlineDef, &COptions::SfondoTestoOnlineDef},
    {131, 53, 34, {167, 183}, &COptions::CorpoTestoOffline, &COptions::SfondoTestoOffline},
    {199, 53, 34, {235, 251}, &COptions::CorpoTestoOnline1, &COptions::SfondoTestoOnline1},
    {199, 67, 34, {235, 251}, &COptions::CorpoTestoOnline2, &COptions::SfondoTestoOnline2},
    {131, 81, 102, {235, 251}, &COptions::CorpoTestoConDipend, &COptions::SfondoTestoConDipend},
    {131, 96, 102, {235, 251}, &COptions::CorpoTestoTrascinato, &COptions::SfondoTestoTrascinato},
    {131, 110, 102, {235, 251}, &COptions::CorpoTestoTrascConDip, &COptions::SfondoTestoTrascConDip},
    {131, 124, 102, {235, 251}, &COptions::CorpoTestoNormale, &COptions::SfondoTestoNormale},
};

// Swatches 435 (text colour: a letter) and 434 (background: a filled square).
QPixmap SwatchPixmap(bool text)
{
  QPixmap pm(17, 17);
  pm.fill(Qt::white);
  QPainter p(&pm);
  if (text) {
    QFont f = p.font();
    f.setPixelSize(14);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::black);
    p.drawText(pm.rect(), Qt::AlignCenter, QStringLiteral("A"));
    p.fillRect(QRect(3, 14, 11, 2), Qt::red);
  } else {
    p.fillRect(QRect(3, 3, 11, 11), QColor(255, 220, 0));
    p.setPen(Qt::black);
    p.drawRect(QRect(3, 3, 10, 10));
  }
  return pm;
}

CDiag4::ColorChooser &Chooser()
{
  static CDiag4::ColorChooser chooser = [](COLORREF initial, COLORREF *chosen, QWidget *parent) {
    const QColor c = QColorDialog::getColor(ToQColor(initial), parent);
    if (!c.isValid())
      return false;
    *chosen = FromQColor(c);
    return true;
  };
  return chooser;
}

} // namespace

CDiag4::ColorChooser CDiag4::SetColorChooser(ColorChooser chooser)
{
  ColorChooser previous = std::move(Chooser());
  Chooser() = std::move(chooser);
  return previous;
}

CDiag4::CDiag4(COptions &options) : CZuPrefsSubDlg(318), m_options(options) {}

namespace {
constexpr TextBox kColorsGroup = {IDS_COLORS, 7, 7, 266, 172};
constexpr TextBox kColumnTitles[] = {{IDS_OFF_LINE, 131, 24, 40, 10}, {IDS_ON_LINE, 199, 24, 40, 10}};
constexpr TextBox kRowLabels[] = {
    {IDS_PARAMETER_EQUAL_DEFAULT, 13, 38, 116, 12},  {IDS_PARAMETER_DIFFERENT_DEFAULT, 13, 53, 116, 26},
    {IDS_PARAMETER_DEPENDENCIES, 13, 81, 116, 12},   {IDS_VARIABILE_MOVED, 13, 96, 116, 12},
    {IDS_VARIABILE_MOVED_PAR_DEP, 13, 110, 116, 12}, {IDS_VARIABILE_MOVED_PAR_DEP, 13, 124, 116, 12}};
constexpr TextBox kSampleText = {IDS_EXAMPLE, 131, 38, 34, 12}; // the narrow cells
} // namespace

std::vector<CPageText> CDiag4::Texts() const
{
  std::vector<CPageText> texts;
  AddTexts(texts, {&kColorsGroup, 1}, CPageText::Group);
  AddTexts(texts, kColumnTitles, CPageText::Label);
  AddTexts(texts, {&kSampleText, 1}, CPageText::Label);
  AddTexts(texts, kRowLabels, CPageText::WrappedLabel);
  return texts;
}

void CDiag4::BuildControls()
{
  Group(this, LoadStr(kColorsGroup.text), Box(*this, kColorsGroup));
  for (const TextBox &b : kColumnTitles)
    Label(this, LoadStr(b.text), Box(*this, b));
  for (const TextBox &b : kRowLabels) {
    QLabel *label = Label(this, LoadStr(b.text), Box(*this, b));
    label->setWordWrap(true);
  }
  const QPixmap swatch[2] = {SwatchPixmap(true), SwatchPixmap(false)};
  for (int c = 0; c < kCells; ++c) {
    const ColorCell &cell = kColorCells[c];
    m_samples[size_t(c)] = new CXColorStatic(LoadStr(kSampleText.text), this);
    m_samples[size_t(c)]->setGeometry(DialogUnits(cell.x, cell.y, cell.w, 12));
    m_samples[size_t(c)]->setAlignment(Qt::AlignCenter);
    m_samples[size_t(c)]->setAttribute(Qt::WA_TransparentForMouseEvents);
    for (int k = 0; k < 2; ++k) {
      auto *s = new QLabel(this);
      s->setPixmap(swatch[k]);
      s->setFrameShape(QFrame::Panel);
      s->setFrameShadow(QFrame::Sunken);
      const QRect at = DialogUnits(cell.swatchX[k], cell.y, 0, 0);
      s->setGeometry(at.x(), at.y(), 19, 19);
      s->setAttribute(Qt::WA_TransparentForMouseEvents);
      m_swatches[size_t(2 * c + k)] = s;
    }
  }
}

void CDiag4::OnInitDialog()
{
  RefreshSamples();
}

CXColorStatic *CDiag4::Sample(int cell) const
{
  return cell >= 0 && cell < kCells ? m_samples[size_t(cell)] : nullptr;
}

QLabel *CDiag4::Swatch(int i) const
{
  return i >= 0 && i < 2 * kCells ? m_swatches[size_t(i)] : nullptr;
}

COptionColor &CDiag4::SwatchSetting(int i) const
{
  const ColorCell &cell = kColorCells[std::clamp(i / 2, 0, kCells - 1)];
  return m_options.*(i % 2 == 0 ? cell.text : cell.background);
}

void CDiag4::RefreshSamples()
{
  if (!IsCreated())
    return;
  for (int c = 0; c < kCells; ++c) {
    m_samples[size_t(c)]->SetTextColor((m_options.*kColorCells[c].text).Get(), true);
    m_samples[size_t(c)]->SetBackgroundColor((m_options.*kColorCells[c].background).Get(), true);
  }
}

void CDiag4::mouseReleaseEvent(QMouseEvent *event)
{
  const QPoint at = event->position().toPoint();
  for (int i = 0; i < 2 * kCells && IsCreated(); ++i) {
    if (!m_swatches[size_t(i)]->geometry().contains(at))
      continue;
    COptionColor &setting = SwatchSetting(i);
    COLORREF chosen = setting.Get();
    if (Chooser() && Chooser()(setting.Get(), &chosen, this)) {
      setting.Set(chosen);
      RefreshSamples();
    }
    break;
  }
  CZuPrefsSubDlg::mouseReleaseEvent(event);
}

void CDiag4::OnOK()
{
  for (const ColorCell &cell : kColorCells) {
    (m_options.*cell.text).Save();
    (m_options.*cell.background).Save();
  }
  CZuPrefsSubDlg::OnOK();
}

void CDiag4::RestoreDefaults()
{
  for (const ColorCell &cell : kColorCells) {
    (m_options.*cell.text).RestoreDefault();
    (m_options.*cell.background).RestoreDefault();
  }
  RefreshSamples();
}

// ---------------------------------------------------------------- the command

CPreferencesSet::CPreferencesSet(QWidget *parent, COptions &options)
    : serial(options), graphics(options), fileImport(options), colors(options), dialog(parent)
{
  dialog.SetTitle(LoadStr(IDS_OPTIONS));
  // Four GBK characters for "welcome", always drawn as plain 8-bit text:
  // what shows is their bytes read as Windows-1252.
  dialog.SetConstantText(Cp1252::Decode(QByteArray("\xBB\xB6\xD3\xAD\xCA\xB9\xD3\xC3")));
  dialog.AddPage(&serial, LoadStr(IDS_SERIAL_COM));
  dialog.AddPage(&graphics, LoadStr(IDS_GRAPHICS));
  dialog.AddPage(&fileImport, LoadStr(IDS_FILE_IMPORT_PAGE));
  dialog.AddPage(&colors, LoadStr(IDS_COLORS));
}

int RunPreferencesDialog(QWidget *parent, COptions &options)
{
  CPreferencesSet set(parent, options);
  vtx::KeepOnScreen(&set.dialog);
  return set.dialog.exec();
}
