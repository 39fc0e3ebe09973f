#pragma once

#include "model/MainWindowLink.h"
#include "platform/WindowId.h"

#include <QDialog>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <utility>

class CMemBuffDlg;
class CXGlyphButton;
class CXTabCtrl;
class QButtonGroup;
class QLineEdit;
class QPushButton;
struct CRequestPacket;

// The memory-buffer manager: the acquisition settings of the attached
// board's trace buffer, its download state, and one tab per buffer chart
// (downloaded or opened from a file). Modeless; the main frame keeps one.
// GUI thread only.
class CGenMemBuff : public QDialog {
  Q_OBJECT
public:
  // Controls, by the ids of the window's layout.
  enum : int {
    IDC_ADDRESS = 189,
    IDC_STATE = 190,
    IDC_BUF_LENGTH = 191,
    IDC_SAMPLING = 192,
    IDC_TRIG_DELAY = 193,
    IDC_TRIG_POS = 194,
    IDC_TRIG_NEG = 195,
    IDC_AUTOMATIC = 235,
    IDC_MANUAL = 236,
    IDC_ADDRESS_LABEL = 263,
    IDC_SAVE = 709,
    IDC_TAB = 710,
    IDC_OPEN = 711,
    IDC_CLOSE = 712,
    IDC_DOWNLOAD = 718,
  };
  enum State {
    StateOffline = TraceState::Offline,
    StateReady = TraceState::Ready,
    StateDownload = TraceState::Download
  };
  enum Mode { ModeManual = TraceMode::Manual, ModeAutomatic = TraceMode::Automatic };

  explicit CGenMemBuff(QWidget *parent = nullptr);
  ~CGenMemBuff() override;

  // Attaches the window to the board of that child frame (kNoWindow
  // detaches): shows the address, empties the setting edits, Manual mode,
  // ready to download. Another board than the attached one starts from the
  // initial values, so no write can reach it with the last board's indexes.
  // While a download runs it stays running, Download stays disabled.
  void SetAddress(WindowId hBoardWnd, int address);
  void UpdateFields();
  void ShowControls(bool show);
  void SetMode(int mode);
  int GetMode() const { return m_nMode; }
  int GetState() const { return m_nState; }
  // 2 starts the attached board's download: posts the trace-buffer read to
  // its child frame. Any other state ends a download.
  void SetState(int state);
  // The board whose download runs, or kNoWindow.
  WindowId GetDownloadBoard() const { return m_hDownloadWnd; }
  int GetBufferCount() const;
  // A new tab for a downloaded trace answer; name gets the time appended.
  // The chart's times are those of the board that asked, as they were when
  // its download started. The packet stays the caller's.
  void AddBufferWindow(QString &name, const std::array<QString, 6> &labels, const std::array<double, 6> &scales,
                       const CRequestPacket &packet);

  // Moves every buffer tab of another manager window here, in order, and its
  // running download, whose answer is still to come (the window that
  // replaces it after a language switch).
  void TakeBufferWindows(CGenMemBuff &from);

  // The main frame's SelectChildByAddress: attaches this window to the child
  // frame of that board address, if one is open.
  using SelectChildHook = std::function<void(std::uint8_t address)>;
  void SetSelectChildHook(SelectChildHook hook) { m_selectChild = std::move(hook); }
  // Where the attached board's window is found by its id; the look-up must
  // outlive this window. Without one no board is reached.
  void SetBoards(const IBoardLookup *boards) { m_pBoards = boards; }

  // Handlers, public so the frame and tests can drive them as the buttons do.
  void OnOk();
  void OnDownload();
  void OnOpen();
  void OnSave();
  void OnCloseTab();

  QWidget *GetDlgItem(int id) const;
  QString GetItemText(int id) const;
  void SetItemText(int id, const QString &text);
  CXTabCtrl *GetTabCtrl() const { return m_wndTab; }
  CMemBuffDlg *GetBufferWindow(int tab) const;

  // Fields the main frame reads and writes (from its active document's
  // standard items, before UpdateFields).
  WindowId m_hBoardWnd = kNoWindow;
  std::int16_t m_nBufLength = -111;
  float m_fSamplingTime = -222.0f;  // ms, the board's base period
  std::int16_t m_nDiagnTs = -333;   // sampling divider; 0 = the base period
  std::int16_t m_nTrigDelay = -444; // samples
  std::int16_t m_nTrigLevPos = -555;
  std::int16_t m_nTrigLevNeg = -666;
  std::int16_t m_idxDiagnTs = -1;
  std::int16_t m_idxTrigLevPos = -1;
  std::int16_t m_idxTrigLevNeg = -1;
  std::int16_t m_idxTrigDelay = -1;
  int m_nState = StateReady;
  int m_nMode = ModeManual;

protected:
  void keyPressEvent(QKeyEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;

private:
  void BuildControls();
  void OnInitDialog();
  void OnModeRadio();
  void ResetBoardValues();
  // The chart's sampling time and trigger delay from the board values; -1
  // for what is not known.
  std::pair<float, float> ChartTimes() const;
  void UpdateDownloadButton();
  // The state's text and the Download button; the download itself is untouched.
  void ShowState(int state);
  IBoardWindow *Board() const;
  // The child frame's online write of one parameter (a write and a read-back).
  void WriteParameter(std::int16_t index, double value);
  // Each applies the text typed in its edit (read before any write).
  void ApplySamplingTime(const QString &typed);
  void ApplyTrigDelay(const QString &typed);
  void ApplyTrigLevel(int editId, const QString &typed, std::int16_t index, const QString &kept);
  CMemBuffDlg *NewBufferWindow();
  int TabTop() const;

  std::map<int, QWidget *> m_controls; // children, owned by this window
  CXGlyphButton *m_btnOpen = nullptr;
  CXGlyphButton *m_btnSave = nullptr;
  CXGlyphButton *m_btnClose = nullptr;
  QPushButton *m_btnDownload = nullptr;
  QButtonGroup *m_modeGroup = nullptr;
  CXTabCtrl *m_wndTab = nullptr;
  QString m_strSamplingTime;
  QString m_strTrigDelay;
  QString m_strTrigLevPos;
  QString m_strTrigLevNeg;
  WindowId m_hDownloadWnd = kNoWindow;
  std::pair<float, float> m_downloadTimes{-1.0f, -1.0f}; // ChartTimes when it started
  SelectChildHook m_selectChild;
  const IBoardLookup *m_pBoards = nullptr; // not owned
};
