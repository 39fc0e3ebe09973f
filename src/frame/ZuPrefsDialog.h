#pragma once

#include "platform/DialogUnits.h"

#include <QDialog>
#include <QLabel>
#include <QPixmap>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QString>
#include <QTreeWidget>

#include <memory>
#include <vector>

class QGroupBox;
class QLineEdit;
class QPushButton;

// A text of a page and the box it is drawn in (dialog units): the dialog's
// units grow until every page's texts read whole.
struct CPageText {
  enum Kind { Label, WrappedLabel, Check, Button, Group };
  QString text;
  int w;
  int h;
  Kind kind;
};

// Base of every preferences page. The page object belongs to the caller and
// outlives the dialog; its window (its controls) exists from its first show
// to the end of the dialog.
class CZuPrefsSubDlg : public QWidget {
  Q_OBJECT
public:
  explicit CZuPrefsSubDlg(unsigned templateId);
  ~CZuPrefsSubDlg() override;

  unsigned GetTemplateID() const { return m_nTemplateId; }
  bool IsCreated() const { return m_bCreated; }
  // Builds the controls inside the parent and loads them; once.
  bool CreatePage(QWidget *parent);
  // Ends the window: controls gone, timers stopped; the object stays.
  void DestroyPage();

  // Moves values between members and controls; a refused value has been
  // reported and focused, and the result is false.
  virtual bool DoDataExchange(bool save);
  virtual void OnOK() { m_nResult = 1; }
  virtual void OnCancel() { m_nResult = 2; }
  virtual void RestoreDefaults() {}
  // Every text the page shows, with its box.
  virtual std::vector<CPageText> Texts() const { return {}; }
  // The units the page is laid out in; set by the dialog before creation.
  void SetUnits(const CDialogUnits &units) { m_units = units; }
  const CDialogUnits &Units() const { return m_units; }
  int Result() const { return m_nResult; }
  // The control of the last refused value, if it still exists.
  QWidget *RefusedControl() const { return m_pRefused; }
  void ClearRefused() { m_pRefused = nullptr; }
  // Gives the focus to the page's first control in tab order (the page
  // itself when none takes it).
  void FocusFirstControl();

protected:
  // A rectangle of the page's template in pixels.
  QRect DialogUnits(int x, int y, int w, int h) const { return m_units.Rect(x, y, w, h); }
  virtual void BuildControls() = 0;
  virtual void OnInitDialog() {}
  virtual void OnDestroy() {}
  void keyPressEvent(QKeyEvent *event) override;

  // Integer field helpers in the manner of the dialog data exchange: on save
  // the whole text must be an integer in [min, max] or the standard message
  // is shown and the control focused.
  static bool DdxInt(QLineEdit *edit, int *value, bool save, int min, int max);
  static bool RefuseValue(QWidget *control, const QString &message);

private:
  unsigned m_nTemplateId;
  CDialogUnits m_units;
  bool m_bCreated = false;
  int m_nResult = 0;
  QPointer<QWidget> m_pRefused;
};

// One page of the dialog: not owned page, its template, parent page and caption.
struct CZuPrefsPageInfo {
  QPointer<CZuPrefsSubDlg> pPage; // not owned; null once the caller ended it
  unsigned nTemplateId = 0;
  CZuPrefsPageInfo *pParent = nullptr;
  QString strCaption;
};

// The caption bar: the page's name on the left over a gradient from black to
// the button face, and a fixed embossed text on the right.
class CZuPrefsStatic : public QLabel {
  Q_OBJECT
public:
  explicit CZuPrefsStatic(QWidget *parent = nullptr);
  void SetConstantText(const QString &text);
  QString ConstantText() const { return m_strConstantText; }
  void SetTextColor(const QColor &color)
  {
    m_crText = color;
    update();
  }
  void SetFontName(const QString &name) { m_strFontName = name; }
  void SetFontHeight(int height) { m_nFontHeight = height; }
  void SetFontWeight(int weight) { m_nFontWeight = weight; }
  // The gradient for a width and base colour: base at the right edge, black
  // at the left, along a parabola.
  static QPixmap Background(int width, int height, const QColor &base, const QString &constantText,
                            const QString &fontName);

protected:
  void paintEvent(QPaintEvent *event) override;

private:
  QString m_strFontName;
  int m_nFontHeight = 12;
  int m_nFontWeight = 400;
  QColor m_crText;
  QPixmap m_background;
  QString m_strConstantText;
};

// The page tree: the item under the mouse is hot (underlined, link colour)
// and dotted lines join the items, as the pages have always been shown.
class CZuPrefsTree : public QTreeWidget {
  Q_OBJECT
public:
  explicit CZuPrefsTree(QWidget *parent = nullptr);
  QTreeWidgetItem *HotItem() const { return itemFromIndex(m_hot); }

protected:
  void mouseMoveEvent(QMouseEvent *event) override;
  void leaveEvent(QEvent *event) override;
  void drawRow(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
  void drawBranches(QPainter *painter, const QRect &rect, const QModelIndex &index) const override;

private:
  void SetHot(const QModelIndex &index);
  QPersistentModelIndex m_hot;
};

// The preferences dialog: a tree of pages, the caption bar over the page
// area, OK / Default / Cancel / Help. Pages are created on first show;
// OK validates every created page in order (the first failing one is shown
// and the dialog stays) and then applies them; Escape never closes it.
// Ends with IDOK (1) or, by Cancel or the close box, IDCANCEL (2).
class CZuPrefsDialog : public QDialog {
  Q_OBJECT
public:
  explicit CZuPrefsDialog(QWidget *parent = nullptr);
  ~CZuPrefsDialog() override;

  void SetTitle(const QString &title) { m_strTitle = title; }
  void SetConstantText(const QString &text) { m_strConstantText = text; }
  // Only before the dialog is shown; false afterwards. The dialog grows for
  // the page's texts.
  bool AddPage(CZuPrefsSubDlg *page, const QString &caption, CZuPrefsSubDlg *parentPage = nullptr);
  // The units of the dialog and its pages: the font's, widened and heightened
  // for every text of the dialog and its pages, within a 1280 x 800 screen.
  const CDialogUnits &Units() const { return m_units; }
  enum : int { kWidthUnits = 387, kHeightUnits = 230, kMaxWidth = 1260, kMaxHeight = 770 };
  // Shows a page (creating its window on first show); false for a bad index.
  bool ShowPage(int index);
  int CurrentPage() const { return m_nCurrentPage; }
  int PageCount() const { return int(m_pages.size()); }
  CZuPrefsSubDlg *Page(int index) const;
  CZuPrefsTree *Tree() const { return m_pTree; }
  QTreeWidgetItem *PageItem(int index) const;
  CZuPrefsStatic *CaptionBar() const { return m_pCaption; }
  QPushButton *OkButton() const { return m_pOk; }
  QPushButton *DefaultButton() const { return m_pDefault; }
  QPushButton *CancelButton() const { return m_pCancel; }
  QPushButton *HelpButton() const { return m_pHelp; }
  // Page switches waiting for the event loop (after a tree selection).
  int PendingSwitches() const { return m_nPendingSwitches; }

  void OnOK();
  void OnDefault();
  void reject() override;
  void setVisible(bool visible) override;

protected:
  void keyPressEvent(QKeyEvent *event) override;

private:
  void LayoutControls();
  void InitDialog();
  void OnTreeSelection(QTreeWidgetItem *item);
  int IndexOf(const CZuPrefsPageInfo *info) const;

  QWidget *m_pPageFrame;
  CZuPrefsStatic *m_pCaption;
  CZuPrefsTree *m_pTree;
  std::vector<std::unique_ptr<CZuPrefsPageInfo>> m_pages;
  int m_nCurrentPage = -1;
  QRect m_pageRect;
  QString m_strTitle = QStringLiteral("Untitled");
  QString m_strConstantText;
  std::vector<QTreeWidgetItem *> m_items; // per page, may be null
  QPushButton *m_pOk;
  QPushButton *m_pDefault;
  QPushButton *m_pCancel;
  QPushButton *m_pHelp;
  QGroupBox *m_pButtonGroup;
  CDialogUnits m_units;
  std::vector<CPageText> m_texts; // the dialog's own and every page's
  bool m_bInitialized = false;
  int m_nPendingSwitches = 0;
};
