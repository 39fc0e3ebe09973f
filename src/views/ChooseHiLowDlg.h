#pragma once

#include <QDialog>

#include <functional>

// "Word choice": which half of a 32-bit variable a 16-bit link points to.
// DoModal gives 724 for the high word, 3 for the low word, IDCANCEL (2).
class CChooseHiLowDlg : public QDialog {
  Q_OBJECT
public:
  enum : int { ID_HIGH_WORD = 724, ID_LOW_WORD = 3 };

  explicit CChooseHiLowDlg(QWidget *parent = nullptr);
  int DoModal();

  // Replaces the modal loop (tests): its result is DoModal's.
  using ModalHook = std::function<int(CChooseHiLowDlg &)>;
  static ModalHook SetModalHook(ModalHook hook);

  void OnHighWord() { done(ID_HIGH_WORD); }
  void OnLowWord() { done(ID_LOW_WORD); }
};
