#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>

class FooButton;
class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

// Runs the modal board dialogs (load default, language selection): their own
// loop, or a test's hook handed the filled dialog, whose IDOK or IDCANCEL
// stands for the user's answer.
class BoardModal {
public:
  using Hook = std::function<int(QDialog &dialog)>;
  // Installs a hook (none: the dialogs' own loop); gives the previous one.
  static Hook SetHook(Hook hook);
  // IDOK when the dialog was accepted, else IDCANCEL.
  static int Run(QDialog &dialog);
};

// "Load Default": picks one of the board's default parameter sets. Modal.
class CLoadDefault : public QDialog {
  Q_OBJECT
public:
  CLoadDefault(QWidget *parent, const QStringList &names);
  // The chosen set, 0 at first.
  int GetSelection() const { return m_nSelection; }
  QComboBox *Combo() const { return m_pCombo; }

private:
  QComboBox *m_pCombo;
  QStringList m_names;
  int m_nSelection = 0;
};

// "Select language": one button per language code of the document (at most
// six), the current one checked. Modal; the choice is GetCurrent() after OK.
class CLanguageSelect : public QDialog {
  Q_OBJECT
public:
  enum : int { kButtons = 6, kFirstButtonId = 725 };

  CLanguageSelect(QWidget *parent, const QStringList &codes, const QString &current);
  QString GetCurrent() const { return m_strCurrent; }
  // Button 725 + k.
  FooButton *Button(int k) const;
  // Height the dialog gave up (negative: grew) for the codes it has.
  int ShrinkDistance() const { return m_nShrink; }

  // The caption and bitmap of a known code; false for an unknown one.
  static bool KnownCode(const QString &code, QString *caption, unsigned *bitmap);

private:
  QString m_strCurrent;
  std::array<FooButton *, kButtons> m_buttons{};
  QStringList m_codes;
  int m_nShrink = 0;
};

// "Drive info": the modeless board-message window. Shows the text of the
// board's current command value and hands the pressed button (WinCmdButton;
// Esc is Cancel) to the callback; the buttons do not close it.
class CWinCmdDiag : public QDialog {
  Q_OBJECT
public:
  using Callback = std::function<void(int)>;

  CWinCmdDiag(QWidget *parent, Callback callback);
  // Shows one message; the same code as this window showed last changes nothing.
  void ShowMessage(const QString &text, int16_t code);
  QTableWidget *List() const { return m_pList; }
  QPushButton *OkButton() const { return m_pOk; }
  QPushButton *CancelButton() const { return m_pCancel; }
  QPushButton *HideButton() const { return m_pHide; }
  // The code this window showed last.
  int16_t LastCode() const { return m_nLastCode; }
  void ResetLastCode() { m_nLastCode = 0; }

protected:
  void reject() override;

private:
  void Layout(int code);

  QTableWidget *m_pList;
  QLabel *m_pIcon;
  QPushButton *m_pOk;
  QPushButton *m_pCancel;
  QPushButton *m_pHide;
  Callback m_callback;
  int16_t m_nLastCode = 0;
};
