#pragma once

#include "platform/RgbValue.h"

#include <QRect>

class CXListCtrl;
class QPainter;
struct XLISTCELLDATA;

// Draws a list control's rows in client coordinates: every cell paints its
// own ground, the bands the rows leave are erased, an empty list shows its
// text.
class CXListPainter {
public:
  CXListPainter(const CXListCtrl &list, QPainter &p) : m_list(list), m_p(p) {}
  void Paint(const QRect &clip);

private:
  void PaintEmpty(const QRect &clip);
  void EraseAroundRows(int last);
  void DrawCell(int nItem, int nSubItem, const QRect &rect);
  int DrawImage(COLORREF crBkgnd, QRect rect, const XLISTCELLDATA *pXLCD);
  void DrawText(int nItem, int nSubItem, COLORREF crText, COLORREF crBkgnd, QRect rect, const XLISTCELLDATA *pXLCD);
  void DrawCheckbox(int nItem, int nSubItem, COLORREF crText, COLORREF crBkgnd, QRect rect, const XLISTCELLDATA *pXLCD);

  const CXListCtrl &m_list;
  QPainter &m_p;
};
