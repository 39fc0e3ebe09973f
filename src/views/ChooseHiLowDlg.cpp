#include "ChooseHiLowDlg.h"

#include "model/generali.h"
#include "platform/Prompter.h"
#include "platform/StringIds.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
CChooseHiLowDlg::ModalHook &Hook()
{
  static CChooseHiLowDlg::ModalHook s_hook;
  return s_hook;
}
} // namespace

CChooseHiLowDlg::CChooseHiLowDlg(QWidget *parent) : QDialog(parent)
{
  setWindowTitle(LoadStr(IDS_WORD_CHOICE));
  auto *layout = new QVBoxLayout(this);
  auto *group = new QGroupBox(LoadStr(IDS_DOUBLE_WORD), this);
  auto *groupLayout = new QVBoxLayout(group);
  groupLayout->addWidget(new QLabel(LoadStr(IDS_CHOOSE_WORD), group));
  layout->addWidget(group);
  auto *buttons = new QHBoxLayout;
  auto *high = new QPushButton(LoadStr(IDS_HIGH_WORD), this);
  auto *low = new QPushButton(LoadStr(IDS_LOW_WORD), this);
  auto *cancel = new QPushButton(LoadStr(IDS_BUTTON_CANCEL), this);
  buttons->addWidget(high);
  buttons->addWidget(low);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
  connect(high, &QPushButton::clicked, this, &CChooseHiLowDlg::OnHighWord);
  connect(low, &QPushButton::clicked, this, &CChooseHiLowDlg::OnLowWord);
  connect(cancel, &QPushButton::clicked, this, [this] { done(IDCANCEL); });
}

CChooseHiLowDlg::ModalHook CChooseHiLowDlg::SetModalHook(ModalHook hook)
{
  ModalHook old = std::move(Hook());
  Hook() = std::move(hook);
  return old;
}

int CChooseHiLowDlg::DoModal()
{
  if (Hook())
    return Hook()(*this);
  const int result = exec();
  // Closing the window is Cancel.
  return result == ID_HIGH_WORD || result == ID_LOW_WORD ? result : IDCANCEL;
}
