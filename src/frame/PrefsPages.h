#pragma once

#include "ZuPrefsDialog.h"

#include "modbus/RequestPacket.h"
#include "platform/ColorRef.h"
#include "platform/WindowId.h"

#include <QTimer>

#include <array>
#include <functional>

class COptionColor;
class COptionInt;
class COptions;
class CXColorStatic;
class QCheckBox;
class QComboBox;

// The Serial Com page's statistics: the figures shown and the window the
// statistics answer goes to. The answer carries the figures by value, so
// nothing points back into a page that may be gone by then.
struct CSerStatRecord {
  CSerStatistics stats;      // the figures shown
  WindowId hWnd = kNoWindow; // the page, written before every request
};

// "Serial Com": port settings, the device they map to on this machine, and the
// link statistics refreshed every 1234 ms while the page exists.
class CDiag1 : public CZuPrefsSubDlg {
  Q_OBJECT
public:
  enum : int { kStatPeriodMs = 1234 };

  explicit CDiag1(COptions &options);
  ~CDiag1() override;

  bool DoDataExchange(bool save) override;
  void OnOK() override;
  void RestoreDefaults() override;
  std::vector<CPageText> Texts() const override;

  // The figures of a statistics answer, shown at once.
  void ShowStatistics(const CSerStatistics &stats);
  // Hands figures to the page named by the id while it exists; false when it
  // is gone (the answer is then dropped).
  static bool DeliverStatistics(WindowId page, const CSerStatistics &stats);
  // One refresh tick: asks the main frame for the figures.
  void OnStatTimer();
  bool StatTimerActive() const { return m_statTimer.isActive(); }
  WindowId PageId() const { return m_statRecord.hWnd; }
  // The device a port number opens here: the environment override, else the rule.
  static QString DeviceText(int port);

  QLineEdit *m_pPortEdit = nullptr;      // 189
  QLineEdit *m_pTimeoutEdit = nullptr;   // 190
  QLineEdit *m_pSilentEdit = nullptr;    // 191
  QLineEdit *m_pRetryEdit = nullptr;     // 192
  QCheckBox *m_pBeepCheck = nullptr;     // 163
  QComboBox *m_pSpeedCombo = nullptr;    // 180
  QLineEdit *m_pDeviceEdit = nullptr;    // read-only
  QLineEdit *m_pStatEdit[3] = {};        // 193, 194, 195
  QPushButton *m_pResetButton = nullptr; // 725

protected:
  void BuildControls() override;
  void OnDestroy() override;

private:
  void ShowStatistics();

  COptions &m_options;
  int m_nPort;
  int m_nTimeout;
  int m_nSilent;
  int m_nRetry;
  int m_nBeep;
  QString m_strSpeed;
  bool m_bTimerStarted = false;
  CSerStatRecord m_statRecord;
  QTimer m_statTimer;
};

// "Graphics": the testpoint timer and the MDI tabs.
class CDiag2 : public CZuPrefsSubDlg {
  Q_OBJECT
public:
  explicit CDiag2(COptions &options);
  bool DoDataExchange(bool save) override;
  void OnOK() override;
  void RestoreDefaults() override;
  std::vector<CPageText> Texts() const override;

  QCheckBox *m_pCheck[4] = {}; // 164..167

protected:
  void BuildControls() override;

private:
  COptions &m_options;
  int m_nValue[4]; // Start_Timer, TabsOnTop, TabsImages, HideTabsLess2Views
};

// "FileImport": four options shown but not yet offered (disabled).
class CDiag5 : public CZuPrefsSubDlg {
  Q_OBJECT
public:
  explicit CDiag5(COptions &options);
  bool DoDataExchange(bool save) override;
  void OnOK() override;
  void RestoreDefaults() override;
  std::vector<CPageText> Texts() const override;

  QCheckBox *m_pCheck[4] = {}; // 700..703

protected:
  void BuildControls() override;

private:
  std::array<COptionInt *, 4> Settings() const;

  COptions &m_options;
  int m_nValue[4];
};

// "Colors": nine samples of the list colours with a chooser for each text
// and background colour; works on the live settings.
class CDiag4 : public CZuPrefsSubDlg {
  Q_OBJECT
public:
  enum : int { kCells = 9 };
  // The colour chooser: initial colour in, chosen colour out; false when
  // cancelled. Replaceable so tests answer without a person.
  using ColorChooser = std::function<bool(COLORREF initial, COLORREF *chosen, QWidget *parent)>;
  static ColorChooser SetColorChooser(ColorChooser chooser);

  explicit CDiag4(COptions &options);
  void OnOK() override;
  void RestoreDefaults() override;
  std::vector<CPageText> Texts() const override;
  // Sets every sample from its two settings.
  void RefreshSamples();
  CXColorStatic *Sample(int cell) const;
  // Swatch 0..17 in the order they are tested (text before background per cell).
  QLabel *Swatch(int i) const;
  COptionColor &SwatchSetting(int i) const;

protected:
  void BuildControls() override;
  void OnInitDialog() override;
  void mouseReleaseEvent(QMouseEvent *event) override;

private:
  COptions &m_options;
  std::array<CXColorStatic *, kCells> m_samples{};
  std::array<QLabel *, 2 * kCells> m_swatches{};
};

// The four pages and the dialog of the Options command, in their order.
struct CPreferencesSet {
  CPreferencesSet(QWidget *parent, COptions &options);
  CDiag1 serial;
  CDiag2 graphics;
  CDiag5 fileImport;
  CDiag4 colors;
  CZuPrefsDialog dialog; // last: its end ends the pages' windows first
};

// The Options command (32835): runs the preferences dialog modally.
int RunPreferencesDialog(QWidget *parent, COptions &options);
