#include "BoardDialogs.h"

#include "controls/FooButton.h"
#include "model/MainWindowLink.h"
#include "model/generali.h"
#include "platform/Prompter.h"
#include "platform/StringIds.h"
#include "platform/Trace.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

BoardModal::Hook &ModalHook()
{
  static BoardModal::Hook s_hook;
  return s_hook;
}

} // namespace

BoardModal::Hook BoardModal::SetHook(Hook hook)
{
  Hook old = std::move(ModalHook());
  ModalHook() = std::move(hook);
  return old;
}

int BoardModal::Run(QDialog &dialog)
{
  if (ModalHook())
    return ModalHook()(dialog) == IDOK ? IDOK : IDCANCEL;
  return dialog.exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}

CLoadDefault::CLoadDefault(QWidget *parent, const QStringList &names) : QDialog(parent), m_names(names)
{
  setWindowTitle(LoadStr(IDS_LOAD_DEFAULT_TITLE));
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(LoadStr(IDS_CHOOSE_DEFAULT_SET), this));
  m_pCombo = new QComboBox(this);
  m_pCombo->addItems(m_names);
  if (!m_names.isEmpty())
    m_pCombo->setCurrentIndex(m_nSelection);
  layout->addWidget(m_pCombo);
  auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(m_pCombo, &QComboBox::activated, this, [this](int index) {
    if (index >= 0)
      m_nSelection = index;
  });
}

bool CLanguageSelect::KnownCode(const QString &code, QString *caption, unsigned *bitmap)
{
  struct Known {
    const char *code;
    unsigned bitmap;
    const char16_t *caption;
  };
  static const Known known[] = {
      {"std", 433, u"Standard"}, {"en", 429, u"English"},  {"it", 428, u"Italiano"},
      {"fr", 430, u"Français"},  {"de", 431, u"Deutsche"}, {"cn", 432, u"汉语"},
  };
  for (const Known &k : known) {
    if (code.compare(QLatin1String(k.code), Qt::CaseInsensitive) == 0) {
      if (caption)
        *caption = QString::fromUtf16(k.caption);
      if (bitmap)
        *bitmap = k.bitmap;
      return true;
    }
  }
  return false;
}

CLanguageSelect::CLanguageSelect(QWidget *parent, const QStringList &codes, const QString &current)
    : QDialog(parent), m_strCurrent(current.isEmpty() ? QStringLiteral("std") : current), m_codes(codes)
{
  if (m_codes.isEmpty())
    m_codes << QStringLiteral("std");
  setWindowTitle(LoadStr(IDS_SELECT_LANGUAGE_TITLE));
  auto *layout = new QVBoxLayout(this);
  layout->setSpacing(2);
  for (int k = 0; k < kButtons; ++k) {
    auto *b = new FooButton(this);
    b->setObjectName(QStringLiteral("Button%1").arg(kFirstButtonId + k));
    b->setText(QStringLiteral("Button1"));
    b->setFixedSize(174, 34);
    b->SetType(7);
    b->SetTextStyle(1);
    b->AddToGroup(QStringLiteral("main"));
    m_buttons[k] = b;
    layout->addWidget(b);
    if (k >= m_codes.size()) {
      b->hide();
      continue;
    }
    const QString code = m_codes.at(k);
    QString caption;
    unsigned bitmap = 0;
    if (KnownCode(code, &caption, &bitmap)) {
      b->SetBitmap(bitmap);
      if (code.compare(m_strCurrent, Qt::CaseInsensitive) == 0)
        b->Check(true);
      b->setText(caption);
    }
    connect(b, &QPushButton::clicked, this, [this, code] { m_strCurrent = code; });
  }
  // The layout drops the hidden buttons; the distance is what it gave up.
  // More codes than buttons make the dialog taller by the same rule: empty
  // room above Ok and Cancel.
  m_nShrink = (kButtons - int(m_codes.size())) * m_buttons[0]->height();
  if (m_nShrink < 0)
    layout->addSpacing(-m_nShrink);
  auto *buttons = new QDialogButtonBox(this);
  buttons->addButton(LoadStr(IDS_BUTTON_OK_TEMPLATE), QDialogButtonBox::AcceptRole);
  buttons->addButton(LoadStr(IDS_BUTTON_CANCEL), QDialogButtonBox::RejectRole);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

FooButton *CLanguageSelect::Button(int k) const
{
  return k >= 0 && k < kButtons ? m_buttons[k] : nullptr;
}

CWinCmdDiag::CWinCmdDiag(QWidget *parent, Callback callback) : QDialog(parent), m_callback(std::move(callback))
{
  Q_ASSERT(parent && m_callback);
  setWindowTitle(LoadStr(IDS_DRIVE_INFO_TITLE));
  auto *layout = new QVBoxLayout(this);
  auto *top = new QHBoxLayout;
  m_pIcon = new QLabel(this);
  m_pIcon->setPixmap(QApplication::windowIcon().pixmap(32, 32));
  top->addWidget(m_pIcon, 0, Qt::AlignTop);
  m_pList = new QTableWidget(0, 1, this);
  m_pList->horizontalHeader()->hide();
  m_pList->verticalHeader()->hide();
  m_pList->horizontalHeader()->setStretchLastSection(true);
  m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_pList->setSelectionMode(QAbstractItemView::SingleSelection);
  m_pList->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_pList->setShowGrid(false);
  m_pList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  m_pList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  top->addWidget(m_pList, 1);
  layout->addLayout(top);
  auto *row = new QHBoxLayout;
  row->addStretch();
  m_pOk = new QPushButton(LoadStr(IDS_BUTTON_OK_TEMPLATE), this);
  m_pCancel = new QPushButton(LoadStr(IDS_BUTTON_CANCEL), this);
  m_pHide = new QPushButton(LoadStr(IDS_HIDE), this);
  for (QPushButton *b : {m_pOk, m_pCancel, m_pHide}) {
    b->setAutoDefault(false);
    row->addWidget(b);
  }
  layout->addLayout(row);
  auto answer = [this](int id) {
    if (m_callback)
      m_callback(id);
  };
  connect(m_pOk, &QPushButton::clicked, this, [answer] { answer(WinCmdButton::Ok); });
  connect(m_pCancel, &QPushButton::clicked, this, [answer] { answer(WinCmdButton::Cancel); });
  connect(m_pHide, &QPushButton::clicked, this, [answer] { answer(WinCmdButton::Hide); });
}

void CWinCmdDiag::reject()
{
  // Esc answers Cancel; the window stays until the board's value changes.
  if (m_callback)
    m_callback(WinCmdButton::Cancel);
}

void CWinCmdDiag::ShowMessage(const QString &text, int16_t code)
{
  if (code == m_nLastCode) {
    qCDebug(lcFrame, "display msg: uguale");
    return;
  }
  qCDebug(lcFrame, "display msg: diverso");
  m_nLastCode = code;
  m_pIcon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));
  m_pList->setRowCount(0);
  // The dictionary keeps line breaks as the three characters \\n.
  const QStringList rows = text.split(QStringLiteral("\\\\n"));
  m_pList->setRowCount(int(rows.size()));
  for (int i = 0; i < rows.size(); ++i)
    m_pList->setItem(i, 0, new QTableWidgetItem(rows.at(i)));
  Layout(code);
}

void CWinCmdDiag::Layout(int code)
{
  bool ok = true, cancel = true, hide = false;
  if (code >= 1 && code <= 99)
    ok = cancel = false;
  else if (code >= 100 && code <= 199)
    ok = cancel = false, hide = true;
  else if (code >= 200 && code <= 299)
    ok = false;
  else if (code >= 300 && code <= 399)
    cancel = false;
  m_pOk->setVisible(ok);
  m_pCancel->setVisible(cancel);
  m_pHide->setVisible(hide);

  const QFontMetrics fm(m_pList->font());
  int width = 0;
  int height = 0;
  for (int i = 0; i < m_pList->rowCount(); ++i) {
    width = std::max(width, fm.horizontalAdvance(m_pList->item(i, 0)->text()) + 12);
    height += m_pList->rowHeight(i);
  }
  m_pList->setFixedHeight(height + 2);
  m_pList->setMinimumWidth(std::min(width, 1000));
  adjustSize();
}
