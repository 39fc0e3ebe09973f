#pragma once

#include "XListCommon.h"

#include <QHeaderView>
#include <QPixmap>
#include <QString>

#include <vector>

class CImageList;
class QAbstractItemModel;

// One header item (the platform's header item record); mask says which
// fields are meant.
struct HDITEM {
  unsigned mask = 0;
  int cxy = 0;
  QString pszText;
  QPixmap hbm;
  int fmt = 0;
  int iImage = 0;
};

// The owner-drawn stand-in of an owner-draw header item (never used here).
struct HDDRAWITEM {
  int itemID = 0;
  QRect rcItem;
  QPainter *pDC = nullptr;
};

// Column header of CXListCtrl: paints every cell itself (check box or image,
// caption, bitmap) through a memory buffer. The image index of an item is the
// column's check state: 0 none, 1 unchecked, 2 checked.
class CXHeaderCtrl : public QHeaderView {
  Q_OBJECT
public:
  explicit CXHeaderCtrl(QWidget *parent = nullptr);
  ~CXHeaderCtrl() override;

  // Items, as the platform header offers them.
  int GetItemCount() const;
  int InsertItem(int nPos, const HDITEM &item);
  bool DeleteItem(int nPos);
  bool GetItem(int nPos, HDITEM *pItem) const;
  bool SetItem(int nPos, const HDITEM &item);
  bool GetItemRect(int nIndex, QRect *rc) const;
  int OrderToIndex(int nOrder) const;
  // Not owned; null for none. Records the size of image 0.
  CImageList *SetImageList(CImageList *pImageList);
  CImageList *GetImageList() const { return m_pImageList; }
  QSize GetImageSize() const { return m_sizeImage; }

  int GetSpacing() const { return m_nSpacing; }
  void DrawCtrl(QPainter *pDC);
  virtual void DrawItem(const HDDRAWITEM &dis);
  virtual void DrawItem(QPainter *pDC, QRect rect, const HDITEM &hdi);
  int DrawImage(QPainter *pDC, QRect rect, const HDITEM &hdi, bool bRight);
  int DrawBitmap(QPainter *pDC, QRect rect, const HDITEM &hdi, const QPixmap &bitmap, bool bRight);
  void DrawText(QPainter *pDC, QRect rect, const HDITEM &hdi);

  COLORREF GetTextColor() const { return m_crText; }
  COLORREF GetFaceColor() const { return m_crFace; }

protected:
  void paintEvent(QPaintEvent *e) override;
  void mouseDoubleClickEvent(QMouseEvent *e) override;
  void changeEvent(QEvent *e) override;

private:
  void ReadSysColors();
  class Model;
  Model *m_model;                     // owned by this (Qt parent)
  CImageList *m_pImageList = nullptr; // not owned

  COLORREF m_crText;
  int m_nSpacing = 6;
  QSize m_sizeImage;
  COLORREF m_crHighlight = 0;
  COLORREF m_crShadow = 0;
  COLORREF m_crFace = 0;
  COLORREF m_crButtonText = 0;
};
