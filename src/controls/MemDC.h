#pragma once

#include <QPixmap>
#include <QPainter>
#include <QRect>

#include <memory>

// Flicker-free painting: draws into an off-screen pixmap and copies the
// finished picture onto the target in one block when destroyed. Printers and
// recorded pictures are painted directly. Lives on the stack of one paint.
class CMemDC {
public:
  // area is in the target's logical coordinates; null means its clip box
  // (its whole device when it clips nothing).
  explicit CMemDC(QPainter *pTarget, const QRect *area = nullptr);
  ~CMemDC();
  CMemDC(const CMemDC &) = delete;
  CMemDC &operator=(const CMemDC &) = delete;

  // The painter to draw with: the buffer's, or the target itself.
  QPainter *operator->() { return GetDC(); }
  QPainter *GetDC() { return m_bMemDC ? m_painter.get() : m_pDC; }
  bool IsBuffering() const { return m_bMemDC; }
  // The buffered area in the target's logical coordinates.
  QRect GetRect() const { return m_rect; }

private:
  QPixmap m_bitmap;
  std::unique_ptr<QPainter> m_painter;
  QPainter *m_pDC; // not owned: the target
  QRect m_rect;
  QRect m_deviceRect;
  bool m_bMemDC;
};
