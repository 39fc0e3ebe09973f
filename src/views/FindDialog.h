#pragma once

#include <QDialog>
#include <QPointer>

#include <array>
#include <cstdint>
#include <functional>

class CACEditCtrl;
class CQelDoc;
class CQelDocFind;
class QCheckBox;
class QPushButton;
class QRadioButton;

// The modeless "Find" tool window: finds a block, a parameter, a variable or
// the parameters linked to a variable in the active document, one position
// per kind so that "Find >>" and "Find <<" go on from the last hit. GUI thread.
class CFindDialog : public QDialog {
  Q_OBJECT
public:
  enum { SET_BLOCK = 0, SET_PARAMETERS = 1, SET_VARIABLES = 2, SET_LINKS = 3 };
  using DocumentGetter = std::function<CQelDoc *()>;

  explicit CFindDialog(QWidget *parent = nullptr);
  ~CFindDialog() override;

  // Showing (again) activates the dialog and puts the focus in the edit.
  void setVisible(bool visible) override;

  // How the dialog finds the active document (the main frame's active child
  // frame's); without one, or when it gives null, the buttons do nothing.
  void SetActiveDocumentGetter(DocumentGetter getter) { m_getDocument = std::move(getter); }
  // Copies the document's block, parameter and variable names as the
  // candidates of the edit (lists 0 to 3; 3 is the variable names again).
  void SetCandidateLists(const CQelDocFind &doc);

  void OnFindSet();
  void OnFindFirst();
  void OnFindNext();
  void OnFindPrev();

  CACEditCtrl *GetEdit() const { return m_pEdit; }
  QRadioButton *GetSetButton(int set) const { return m_pSet[static_cast<std::size_t>(set)]; }
  QCheckBox *GetMatchCase() const { return m_pMatchCase; }
  QCheckBox *GetWholeWord() const { return m_pWholeWord; }
  // The checked radio button (0..3).
  int CheckedSet() const;
  int GetFindSet() const { return m_nFindSet; }
  std::int16_t GetBlockPos() const { return m_nBlockPos; }
  std::int16_t GetParPos() const { return m_nParPos; }
  std::int16_t GetVarPos() const { return m_nVarPos; }

private:
  void DoFind(bool down);
  bool IsHitVisible(CQelDoc *doc, int set) const;
  void ResetPositions();

  CACEditCtrl *m_pEdit; // owned (Qt child)
  std::int16_t m_nBlockPos = 0;
  std::int16_t m_nParPos = -1;
  std::int16_t m_nVarPos = -1;
  int m_nFindSet = 0;

  std::array<QRadioButton *, 4> m_pSet{}; // owned (Qt children)
  QCheckBox *m_pMatchCase;                // owned (Qt child)
  QCheckBox *m_pWholeWord;                // owned (Qt child)
  DocumentGetter m_getDocument;
  QPointer<CQelDoc> m_pLastDocument; // the document the positions belong to
};
