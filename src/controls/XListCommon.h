#pragma once

#include "platform/ColorRef.h"

#include <QColor>
#include <QLineEdit>
#include <QPixmap>
#include <QRect>
#include <QSize>

#include <vector>

class QMouseEvent;
class QPainter;
class QPalette;

// Styles, formats, codes and drawing helpers shared by the list control, its
// header, its editors and the advanced combo box. The values are those of the
// platform controls these widgets stand in for, so code that stores or compares
// them keeps working.
namespace xl {

// List styles (GetStyle/ModifyStyle) and extended styles (SetExtendedStyle).
constexpr unsigned LVS_REPORT = 0x0001;
constexpr unsigned LVS_SINGLESEL = 0x0004;
constexpr unsigned LVS_SHOWSELALWAYS = 0x0008;
constexpr unsigned LVS_EX_FULLROWSELECT = 0x0020;

// Column formats of InsertColumn/SetColumn.
constexpr int LVCFMT_LEFT = 0x0000;
constexpr int LVCFMT_RIGHT = 0x0001;
constexpr int LVCFMT_CENTER = 0x0002;
constexpr int LVCFMT_JUSTIFYMASK = 0x0003;
constexpr int LVCFMT_IMAGE = 0x0800;

// Fields of LVCOLUMN.
constexpr unsigned LVCF_FMT = 0x0001;
constexpr unsigned LVCF_WIDTH = 0x0002;
constexpr unsigned LVCF_TEXT = 0x0004;
constexpr unsigned LVCF_SUBITEM = 0x0008;
constexpr unsigned LVCF_IMAGE = 0x0010;

// Item states, rectangles, hit-test flags, image-list kinds, next-item flags.
constexpr unsigned LVIS_FOCUSED = 0x0001;
constexpr unsigned LVIS_SELECTED = 0x0002;
constexpr int LVIR_BOUNDS = 0;
constexpr int LVIR_ICON = 1;
constexpr int LVIR_LABEL = 2;
constexpr unsigned LVHT_NOWHERE = 0x0001;
constexpr unsigned LVHT_ONITEMLABEL = 0x0004;
constexpr unsigned LVHT_ABOVE = 0x0008;
constexpr unsigned LVHT_BELOW = 0x0010;
constexpr int LVSIL_NORMAL = 0;
constexpr int LVSIL_SMALL = 1;
constexpr unsigned LVNI_ALL = 0x0000;
constexpr unsigned LVNI_FOCUSED = 0x0001;
constexpr unsigned LVNI_SELECTED = 0x0002;

// Header item fields and formats.
constexpr unsigned HDI_WIDTH = 0x0001;
constexpr unsigned HDI_TEXT = 0x0002;
constexpr unsigned HDI_FORMAT = 0x0004;
constexpr unsigned HDI_BITMAP = 0x0010;
constexpr unsigned HDI_IMAGE = 0x0020;
constexpr int HDF_LEFT = 0x0000;
constexpr int HDF_RIGHT = 0x0001;
constexpr int HDF_CENTER = 0x0002;
constexpr int HDF_JUSTIFYMASK = 0x0003;
constexpr int HDF_IMAGE = 0x0800;
constexpr int HDF_BITMAP = 0x2000;
constexpr int HDF_STRING = 0x4000;
constexpr int HDF_OWNERDRAW = 0x8000;

// Combo-box notifications (the code of CAdvComboBox::notify) and errors.
constexpr int CBN_SELCHANGE = 1;
constexpr int CBN_SETFOCUS = 3;
constexpr int CBN_DROPDOWN = 7;
constexpr int CBN_CLOSEUP = 8;
constexpr int CBN_SELENDOK = 9;
constexpr int CBN_SELENDCANCEL = 10;
constexpr int CB_ERR = -1;

// Virtual-key codes of the list's key notice (CXListCtrl::keyDown).
constexpr int VK_BACK = 0x08;
constexpr int VK_TAB = 0x09;
constexpr int VK_RETURN = 0x0D;
constexpr int VK_ESCAPE = 0x1B;
constexpr int VK_SPACE = 0x20;
constexpr int VK_PRIOR = 0x21;
constexpr int VK_NEXT = 0x22;
constexpr int VK_END = 0x23;
constexpr int VK_HOME = 0x24;
constexpr int VK_LEFT = 0x25;
constexpr int VK_UP = 0x26;
constexpr int VK_RIGHT = 0x27;
constexpr int VK_DOWN = 0x28;
constexpr int VK_INSERT = 0x2D;
constexpr int VK_DELETE = 0x2E;
constexpr int VK_F1 = 0x70;
constexpr int VK_F4 = 0x73;

// The virtual-key code of a Qt key; 0 for keys without one.
int VirtualKeyFromQt(int qtKey);

// Keys an in-cell edit box keeps for itself while open: Enter, Escape, Delete,
// Tab, Up, Down and every Ctrl key, before any shortcut of the window.
bool IsCellEditorKey(int qtKey, Qt::KeyboardModifiers modifiers);

// The base of the in-cell edit boxes: a double-click selects from blank to
// blank around the pointer, as the platform edit box does. Qt's word selection
// stops at "." and "-", so a double-click on a value's fraction took only its
// digits and the typed number was spliced into the rest.
class CellLineEdit : public QLineEdit {
public:
  using QLineEdit::QLineEdit;

protected:
  // After QLineEdit's own handling, which arms the triple click.
  void mouseDoubleClickEvent(QMouseEvent *e) override;
  // A move with the button still down from the double click, not yet a drag,
  // is held back: QLineEdit would shrink the selection to the pointer.
  void mouseMoveEvent(QMouseEvent *e) override;
  void mouseReleaseEvent(QMouseEvent *e) override;

private:
  QPoint m_pt;
  bool m_bHeld = false;
};

// The system colours the controls cache, taken from the widget palette.
enum SysColor {
  COLOR_3DFACE,
  COLOR_3DHILIGHT,
  COLOR_3DSHADOW,
  COLOR_3DDKSHADOW,
  COLOR_3DLIGHT,
  COLOR_ACTIVECAPTION,
  COLOR_BTNFACE,
  COLOR_BTNHIGHLIGHT,
  COLOR_BTNSHADOW,
  COLOR_BTNTEXT,
  COLOR_GRAYTEXT,
  COLOR_HIGHLIGHT,
  COLOR_HIGHLIGHTTEXT,
  COLOR_INACTIVECAPTION,
  COLOR_INACTIVECAPTIONTEXT,
  COLOR_WINDOW,
  COLOR_WINDOWTEXT,
};
COLORREF GetSysColor(SysColor index, const QPalette &palette);

// GDI-style drawing on rectangles with exclusive right and bottom edges.
void FillSolidRect(QPainter *p, const QRect &rc, COLORREF cr);
void FrameRect(QPainter *p, const QRect &rc, COLORREF cr);
void Draw3dRect(QPainter *p, const QRect &rc, COLORREF crTopLeft, COLORREF crBottomRight);
// The tick of a checked box: 4 strokes of 3 pixels going down-left from
// (box left + 9, box top + 3), then 3 going up-left.
void DrawCheckMark(QPainter *p, const QRect &box, COLORREF cr);
// The down arrow button of a combo box (pushed: flat and sunken).
void DrawComboButton(QPainter *p, const QRect &rc, bool pushed, bool enabled, const QPalette &pal);

} // namespace xl

// A list of equally sized images (the platform image list). Indexes that do
// not name an image are never drawn.
class CImageList {
public:
  static constexpr COLORREF CLR_NONE = 0xFFFFFFFF;

  // Cuts a strip into images cx pixels wide; pixels of crMask become
  // transparent. False for an empty strip or cx < 1.
  bool Create(const QPixmap &strip, int cx, int nGrow, COLORREF crMask);
  int Add(const QPixmap &image);
  int GetImageCount() const { return static_cast<int>(m_images.size()); }
  // Size of one image; 0 by 0 when the list has none.
  QSize GetImageSize() const { return m_size; }
  // False (rc untouched) when nImage is not an image.
  bool GetImageRect(int nImage, QRect *rc) const;
  COLORREF SetBkColor(COLORREF cr);
  COLORREF GetBkColor() const { return m_crBk; }
  // Draws image nImage at pt, clipped to clip (when valid); false when the
  // index names no image.
  bool Draw(QPainter *p, int nImage, QPoint pt, QSize clip = QSize()) const;

  // Our drawing of the three 16 by 16 header/bit images: 0 no box, 1 an
  // empty box, 2 a ticked box; magenta background.
  static QPixmap CheckBoxStrip();

private:
  std::vector<QPixmap> m_images;
  QSize m_size;
  COLORREF m_crBk = CLR_NONE;
};
