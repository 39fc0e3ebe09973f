#include "BitSet.h"

#include "controls/XListCtrl.h"
#include "model/generali.h"
#include "platform/Prompter.h"
#include "platform/StringIds.h"

#include <QPushButton>
#include <QVBoxLayout>
#include <QHBoxLayout>

namespace {
constexpr COLORREF kRowText = 0x000000;

// Rows come in bands of four, grey then white.
COLORREF RowBack(int i)
{
  return (i & 4) ? 0xFFFFFF : RGB(200, 200, 200);
}

CBitSet::ModalHook &Hook()
{
  static CBitSet::ModalHook s_hook;
  return s_hook;
}
} // namespace

CBitSet::CBitSet(QWidget *parent, const QStringList *names, const QString &title, int row, int col, std::uint16_t word,
                 int unitFlag, int resetMode)
    : QDialog(parent), m_nWord(word), m_nRow(row), m_nCol(col), m_strTitle(title), m_nUnitFlag(unitFlag),
      m_BitNames(names ? *names : QStringList()), m_nResetMode(resetMode), m_pList(new CXListCtrl(this)),
      m_pOk(new QPushButton(LoadStr(IDS_BUTTON_OK), this)), m_pCancel(new QPushButton(LoadStr(IDS_BUTTON_CANCEL), this))
{
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(m_pList);
  auto *buttons = new QHBoxLayout;
  buttons->addWidget(m_pOk);
  buttons->addWidget(m_pCancel);
  layout->addLayout(buttons);
  m_pOk->setDefault(true);
  connect(m_pOk, &QPushButton::clicked, this, [this] { OnOK(); });
  connect(m_pCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(m_pList, &CXListCtrl::checkboxClicked, this, [this] { OnBoxesChanged(); });
  connect(m_pList, &CXListCtrl::columnClicked, this, [this] { OnBoxesChanged(); });
  resize(320, 200);
}

CBitSet::~CBitSet()
{
  if (m_pList)
    m_pList->DeleteAllItems();
}

CBitSet::ModalHook CBitSet::SetModalHook(ModalHook hook)
{
  ModalHook old = std::move(Hook());
  Hook() = std::move(hook);
  return old;
}

int CBitSet::DoModal()
{
  OnInitDialog();
  if (Hook()) {
    const int result = Hook()(*this);
    if (result == IDOK)
      GetWordFromBits();
    return result;
  }
  return exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}

void CBitSet::OnInitDialog()
{
  m_pList->SetExtendedStyle(m_pList->GetExtendedStyle() | xl::LVS_EX_FULLROWSELECT);
  FillList();
  setWindowTitle(m_strTitle);
  if (m_nResetMode)
    m_pOk->setText(LoadStr(IDS_BITS_RESET));
}

void CBitSet::OnOK()
{
  GetWordFromBits();
  accept();
}

QString CBitSet::BitText(const QString &name, bool set)
{
  // A bar as the first character is part of the name.
  const qsizetype bar = name.indexOf(u'|', 1);
  if (bar < 0)
    return name;
  return (set ? name.left(bar) : name.mid(bar + 1)).trimmed();
}

void CBitSet::FillList()
{
  m_pList->DeleteAllItems();
  const int width = std::max(m_pList->width(), 300) - 2;
  if (m_pList->GetColumns() == 0) {
    m_pList->InsertColumn(0, LoadStr(IDS_SET), xl::LVCFMT_CENTER, width * 20 / 64);
    m_pList->InsertColumn(1, LoadStr(IDS_DESCRIPTION), xl::LVCFMT_LEFT, width - width * 20 / 64 - 2);
    m_Images.Create(CImageList::CheckBoxStrip(), 16, 3, 0xFF00FF);
    m_pList->GetHeaderCtrl()->SetImageList(&m_Images);
    m_pList->SetImageList(&m_Images, xl::LVSIL_SMALL);
    m_pList->SetHeaderCheckedState(0, m_nResetMode ? 0 : 1);
    m_pList->SetHeaderCheckedState(1, 0);
  }
  const int count = static_cast<int>(std::min<qsizetype>(m_BitNames.size(), 16));
  for (int i = 0; i < count; ++i) {
    const bool set = (m_nWord >> i) & 1;
    m_pList->InsertItem(i, QString(), kRowText, RowBack(i));
    ShowBitText(i, set);
    if (m_nResetMode)
      m_pList->SetItemImage(i, 0, set ? 2 : 1);
    else
      m_pList->SetCheckbox(i, 0, set ? 1 : 0);
  }
  const int rows = std::max(count, 1);
  m_pList->setMinimumHeight(m_pList->GetRowHeight() * (rows + 2) + 4);
  adjustSize();
}

void CBitSet::ShowBitText(int i, bool set)
{
  m_pList->SetItemText(i, 1, BitText(m_BitNames.at(i), set), kRowText, RowBack(i));
}

void CBitSet::OnBoxesChanged()
{
  if (m_nResetMode)
    return;
  for (int i = 0; i < m_pList->GetItemCount() && i < m_BitNames.size(); ++i) {
    const int box = m_pList->GetCheckbox(i, 0);
    if (box >= 0)
      ShowBitText(i, box == 1);
  }
}

void CBitSet::GetWordFromBits()
{
  std::uint16_t word = 0;
  for (int i = 0; i < m_pList->GetItemCount() && i < 16; ++i)
    if (m_pList->GetCheckbox(i, 0) == 1)
      word |= static_cast<std::uint16_t>(1u << i);
  m_nWord = word;
}
