#pragma once

#include "ParTreeView.h"

// The function blocks with their variables as leaves; the source of the
// drag that links a variable to a parameter or puts it in a watch row.
class CVarTreeView : public CBlockTreeView {
  Q_OBJECT
public:
  explicit CVarTreeView(QWidget *parent = nullptr);
  ~CVarTreeView() override;

  // The drag, in global (screen) coordinates; public for the frame and tests.
  void OnBeginDrag(QPoint ptScreen);
  void OnMouseMove(QPoint ptScreen);
  void OnLButtonUp(QPoint ptScreen);
  // Ends a drag without a drop: its release never comes here, or Escape
  // called it off (its moves and release then do nothing).
  void AbandonDrag();

protected:
  bool IsVariableTree() const override { return true; }
  long OwnHint() const override;
  bool RebuildFlag() const override;
  void ClearRebuildFlag() override;
  void Register(IDocTree *tree) override;
  void ApplySelection(int block) override;

  bool event(QEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;
  void hideEvent(QHideEvent *event) override;

private:
  // The cursor back, the Escape watch gone.
  void StopDragging();
  void DropOnParameter(CQelDoc *doc, std::int16_t v, std::int16_t p);
  void DropOnRow(CQelDoc *doc, std::int16_t v, std::int16_t s);

  QObject *m_pEscapeWatch = nullptr; // owned as a child; on the application during a drag
  bool m_bPressSpent = false;        // the left button of a drag called off is still down
};
