#include "FindDialog.h"

#include "ViewState.h"

#include "controls/ACEditCtrl.h"
#include "model/QelDoc.h"
#include "model/generali.h"
#include "platform/Prompter.h"
#include "platform/StringIds.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <limits>

namespace {
QStringList Candidates(const std::vector<QString> &names)
{
  QStringList list;
  list.reserve(static_cast<qsizetype>(names.size()));
  for (const QString &name : names)
    list << name;
  return list;
}
} // namespace

CFindDialog::CFindDialog(QWidget *parent) : QDialog(parent), m_pEdit(new CACEditCtrl(this))
{
  setWindowFlag(Qt::Tool);
  setWindowTitle(LoadStr(IDS_FIND_CAPTION));
  m_pEdit->setObjectName(QStringLiteral("edit198"));

  auto *setBox = new QGroupBox(LoadStr(IDS_FIND_SET), this);
  auto *setLayout = new QVBoxLayout(setBox);
  auto *group = new QButtonGroup(this);
  // Block, Parameters, Variables, c_xx=var.
  for (int i = 0; i < 4; ++i) {
    m_pSet[static_cast<std::size_t>(i)] = new QRadioButton(LoadStr(IDS_FIND_BLOCK + static_cast<unsigned>(i)), setBox);
    group->addButton(m_pSet[static_cast<std::size_t>(i)], i);
    setLayout->addWidget(m_pSet[static_cast<std::size_t>(i)]);
    connect(m_pSet[static_cast<std::size_t>(i)], &QRadioButton::clicked, this, &CFindDialog::OnFindSet);
  }
  m_pSet[0]->setChecked(true);

  auto *optionBox = new QGroupBox(this);
  auto *optionLayout = new QVBoxLayout(optionBox);
  m_pMatchCase = new QCheckBox(LoadStr(IDS_FIND_MATCH_CASE), optionBox);
  m_pWholeWord = new QCheckBox(LoadStr(IDS_FIND_WHOLE_WORD), optionBox);
  optionLayout->addWidget(m_pMatchCase);
  optionLayout->addWidget(m_pWholeWord);

  auto *first = new QPushButton(LoadStr(IDS_FIND_FIRST), this);
  auto *prev = new QPushButton(LoadStr(IDS_FIND_PREV), this);
  auto *next = new QPushButton(LoadStr(IDS_FIND_NEXT), this);
  first->setDefault(true); // Enter restarts the current set
  connect(first, &QPushButton::clicked, this, &CFindDialog::OnFindFirst);
  connect(prev, &QPushButton::clicked, this, &CFindDialog::OnFindPrev);
  connect(next, &QPushButton::clicked, this, &CFindDialog::OnFindNext);

  auto *layout = new QGridLayout(this);
  layout->addWidget(m_pEdit, 0, 0, 1, 2);
  layout->addWidget(setBox, 1, 0, 3, 1);
  layout->addWidget(optionBox, 1, 1);
  layout->addWidget(first, 2, 1);
  auto *arrows = new QHBoxLayout;
  arrows->addWidget(prev);
  arrows->addWidget(next);
  layout->addLayout(arrows, 3, 1);
  m_pEdit->SelectList(false, m_nFindSet);
}

CFindDialog::~CFindDialog() = default;

void CFindDialog::setVisible(bool visible)
{
  QDialog::setVisible(visible);
  // Every show, also of a dialog already open, brings the user to the text.
  if (visible) {
    activateWindow();
    m_pEdit->setFocus(Qt::ActiveWindowFocusReason);
  }
}

void CFindDialog::SetCandidateLists(const CQelDocFind &doc)
{
  m_pEdit->SetList(0, Candidates(doc.GetBlockNames()));
  m_pEdit->SetList(1, Candidates(doc.GetParNames()));
  m_pEdit->SetList(2, Candidates(doc.GetVarNames()));
  m_pEdit->SetList(3, Candidates(doc.GetVarNames()));
}

int CFindDialog::CheckedSet() const
{
  for (int i = 0; i < 4; ++i)
    if (m_pSet[static_cast<std::size_t>(i)]->isChecked())
      return i;
  return SET_BLOCK;
}

void CFindDialog::OnFindSet()
{
  const int set = CheckedSet();
  // "c_xx=var" completes from the variable names.
  m_nFindSet = set == SET_LINKS ? SET_VARIABLES : set;
  m_pEdit->SelectList(false, m_nFindSet);
}

void CFindDialog::OnFindFirst()
{
  switch (CheckedSet()) {
  case SET_BLOCK:
    m_nBlockPos = 0;
    break;
  case SET_PARAMETERS:
    m_nParPos = -1;
    break;
  default:
    m_nVarPos = -1;
    break;
  }
  OnFindNext();
}

void CFindDialog::OnFindNext()
{
  DoFind(true);
}

void CFindDialog::OnFindPrev()
{
  DoFind(false);
}

void CFindDialog::ResetPositions()
{
  m_nBlockPos = 0;
  m_nParPos = -1;
  m_nVarPos = -1;
}

bool CFindDialog::IsHitVisible(CQelDoc *doc, int set) const
{
  const int level = views::VisLevel();
  switch (set) {
  case SET_BLOCK: {
    // Each kind the block holds at all must show something; a block of
    // parameters only is not hidden for lacking variables.
    constexpr int kAnyLevel = std::numeric_limits<int>::max();
    const bool holdsPars = doc->IsParVisibleInBlock(m_nBlockPos, kAnyLevel);
    const bool holdsVars = doc->IsVarVisibleInBlock(m_nBlockPos, kAnyLevel);
    if (!holdsPars && !holdsVars)
      return false;
    return (!holdsPars || doc->IsParVisibleInBlock(m_nBlockPos, level)) &&
           (!holdsVars || doc->IsVarVisibleInBlock(m_nBlockPos, level));
  }
  case SET_VARIABLES:
    return m_nVarPos >= 0 && m_nVarPos < doc->GetVarCount() && doc->GetVar(m_nVarPos).IsVisibleAtLevel(level);
  default:
    return m_nParPos >= 0 && m_nParPos < doc->GetParCount() && doc->GetPar(m_nParPos).IsVisibleAtLevel(level);
  }
}

void CFindDialog::DoFind(bool down)
{
  const QString text = m_pEdit->text();
  const bool matchCase = m_pMatchCase->isChecked();
  const bool wholeWord = m_pWholeWord->isChecked();
  CQelDoc *doc = m_getDocument ? m_getDocument() : nullptr;
  if (!doc)
    return;
  // Positions belong to one document: another one starts from the beginning.
  if (doc != m_pLastDocument) {
    ResetPositions();
    m_pLastDocument = doc;
  }
  const int set = CheckedSet();
  bool hit = false;
  switch (set) {
  case SET_BLOCK:
    hit = doc->FindText(text, m_nBlockPos, matchCase, wholeWord, down);
    break;
  case SET_PARAMETERS:
    hit = doc->FindParameter(text, m_nParPos, matchCase, wholeWord, down, true, false);
    break;
  case SET_VARIABLES:
    hit = doc->FindNext(text, m_nVarPos, matchCase, wholeWord, down, true);
    break;
  default:
    hit = doc->FindByValue(text, m_nParPos, m_nVarPos, matchCase, wholeWord, down, true);
    break;
  }
  if (!hit) {
    Prompter::Instance().MessageBox(LoadStr(IDS_NOT_FOUND), LoadStr(IDS_GENERATOR), MB_OK | MB_ICONINFORMATION, this);
    return;
  }
  if (!IsHitVisible(doc, set))
    Prompter::Instance().MessageBox(LoadStr(IDS_LEVEL_TOO_LOW), LoadStr(IDS_GENERATOR), MB_OK | MB_ICONINFORMATION,
                                    this);
  doc->UpdateAllViews(nullptr, views::HINT_VIEW_BITS);
}
