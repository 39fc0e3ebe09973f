#pragma once

#include <QLineEdit>
#include <QStringList>

#include <array>

// A one-line edit that completes what is typed with the first candidate of
// the active list that begins with it, selecting the completed part so the
// next character replaces it. Delete and Backspace suspend completion until
// another key is pressed. It keeps its own copies of up to four candidate
// lists, so their supplier may go away. GUI thread only.
class CACEditCtrl : public QLineEdit {
  Q_OBJECT
public:
  static constexpr int kListCount = 4;

  explicit CACEditCtrl(QWidget *parent = nullptr);

  // Copies the candidates into list nList (0..3), without empty entries; a
  // list number outside 0..3 is ignored.
  void SetList(int nList, const QStringList &candidates);
  // Forgets list nList: it completes nothing until given again.
  void ClearList(int nList);
  const QStringList *GetList(int nList) const;
  // Makes list nList (0..3) the active one; other numbers are ignored.
  void SelectList(bool bSuppress, int nList);
  int GetActiveList() const { return m_nActiveList; }
  bool IsSuppressed() const { return m_bSuppress; }

protected:
  void keyPressEvent(QKeyEvent *event) override;

private:
  void OnTextChanged();
  void OnUpdate();
  void HandleCompletion(const QStringList &list);

  std::array<QStringList, kListCount> m_lists;
  std::array<bool, kListCount> m_bListSet{};
  int m_nActiveList = 0;
  QString m_strText;
  bool m_bSuppress = false;
  bool m_bDeletePending = false;
  bool m_bBusy = false;
  bool m_bInKey = false;
  bool m_bUpdatePending = false;
};
