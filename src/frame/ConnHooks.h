#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <vector>

class CQelDoc;

// What a board connection asks of the window that shows it: the status bar,
// the state icon, the lists, the board message, the main frame and the
// dialogs. The child frame implements it; tests record the calls. Each call
// has a default: nothing done, or a dialog cancelled.
class IConnHooks {
public:
  virtual ~IConnHooks() = default;
  virtual void ShowStatusText() {}
  virtual void SetStateIcon(int icon) { (void)icon; }
  virtual void FillParList() {}
  // The rows of the parameters a read answer stored; by default the whole list.
  virtual void RefillParRows(const std::vector<std::uint16_t> &pars)
  {
    (void)pars;
    FillParList();
  }
  // Runs the call once the answers in hand are routed (a read all's blocks
  // often come several at once); by default at once.
  virtual void AfterAnswers(std::function<void()> call) { call(); }
  virtual void RecolorParList() {}
  // By default the document's variable list repaints the row (-1: all).
  virtual void InvalidateVarList(CQelDoc &doc, int row);
  // The board-message window for the document's win_cmd value.
  virtual void UpdateWinCmdText() {}
  // After going offline: the main frame's trace manager and tabs.
  virtual void OnWentOffline() {}
  // The splitter's layout to the main frame, then the views relayout.
  virtual void NotifyMainFrame() {}
  // The chosen default set, or -1 when cancelled.
  virtual int ChooseDefaultSet(const QStringList &names)
  {
    (void)names;
    return -1;
  }
  // The chosen language code, or empty when cancelled.
  virtual QString ChooseLanguage(const QStringList &codes, const QString &current)
  {
    (void)codes;
    (void)current;
    return {};
  }
  // By default the setting of the document's host, "Std" without one.
  virtual QString InitializeLanguage(const CQelDoc &doc) const;
  virtual void StoreInitializeLanguage(const QString &code) { (void)code; }
  virtual int VisLevel() const { return 0; }
  // A file for import or compare, or empty; by default the Prompter's dialog.
  virtual QString AskImportFile();
};
