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
  // Ends a drag whose release this tree will never see: no drop.
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
  void DropOnParameter(CQelDoc *doc, std::int16_t v, std::int16_t p);
  void DropOnRow(CQelDoc *doc, std::int16_t v, std::int16_t s);
};
