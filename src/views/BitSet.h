#pragma once

#include "controls/XListCommon.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

class CXListCtrl;
class QPushButton;

// The bit editor: one row per named bit of a 16-bit word, with a check box
// (edit mode) or an on/off image (reset mode, where OK reads "Reset"). It
// only edits its own word. GUI thread only.
class CBitSet : public QDialog {
  Q_OBJECT
public:
  CBitSet(QWidget *parent, const QStringList *names, const QString &title, int row, int col, std::uint16_t word,
          int unitFlag, int resetMode);
  ~CBitSet() override;

  // Fills the dialog and runs it: IDOK or IDCANCEL.
  int DoModal();

  std::uint16_t m_nWord;
  int m_nRow;
  int m_nCol;
  QString m_strTitle;
  int m_nUnitFlag;
  QStringList m_BitNames;
  int m_nResetMode;

  CXListCtrl *GetList() const { return m_pList; }
  QPushButton *GetOkButton() const { return m_pOk; }
  // The shown text of a bit's name.
  static QString BitText(const QString &name, bool set);

  // Replaces the modal loop (tests): called with the filled dialog, its
  // result is DoModal's; OnOK runs first when it gives IDOK.
  using ModalHook = std::function<int(CBitSet &)>;
  static ModalHook SetModalHook(ModalHook hook);

  void OnInitDialog();
  void OnOK();

private:
  void FillList();
  void GetWordFromBits();
  // Row i's Description in the row's colours, for the bit set or clear.
  void ShowBitText(int i, bool set);
  // Every boxed row's text follows its box after a click on it or the header.
  void OnBoxesChanged();

  CXListCtrl *m_pList;    // owned (Qt child)
  QPushButton *m_pOk;     // owned (Qt child)
  QPushButton *m_pCancel; // owned (Qt child)
  CImageList m_Images;
};
