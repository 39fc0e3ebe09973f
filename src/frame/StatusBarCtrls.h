#pragma once

#include "ProgressTimeToComplete.h"

#include <QLabel>
#include <QPixmap>
#include <QSlider>
#include <QToolBar>

#include <functional>

class IMainWindow;
class QAction;
class QLineEdit;

// The serial-link activity picture of the status bar: bitmap 108 while the
// link works, 109 when it rests. Our own drawings.
class CExtBitmap : public QLabel {
  Q_OBJECT
public:
  enum : unsigned { kBitmapActive = 108, kBitmapIdle = 109 };

  explicit CExtBitmap(QWidget *parent = nullptr);
  // Shows bitmap 108 or 109; other ids are ignored.
  void ShowBitmap(unsigned id);
  unsigned CurrentBitmap() const { return m_nBitmap; }
  static QPixmap Bitmap(unsigned id);

private:
  unsigned m_nBitmap = kBitmapIdle;
};

// The caps lock (59137) or num lock (59138) pane: its string while the lock
// is on, nothing while it is off.
class CLockPane : public QLabel {
  Q_OBJECT
public:
  enum : int { kCapsId = 59137, kNumId = 59138 };
  enum : unsigned { kCapsBit = 1, kNumBit = 2 };
  using LockReader = std::function<unsigned()>;

  CLockPane(int id, QWidget *parent = nullptr);
  int Id() const { return m_nId; }
  // Shows the pane's state from the lock bits.
  void Show(unsigned locks);
  // The keyboard's lock bits: through the X keyboard extension on X11, 0
  // where the platform does not tell.
  static unsigned ReadLocks();
  // Another reader (tests); an empty one goes back to the keyboard.
  static void SetLockReader(LockReader reader);

private:
  int m_nId;
  QString m_sMeasured; // the text the width was made for
};

// The serial worker's progress bar in the status bar (range 0..300).
class CExtStatusBarProgressCtrl : public TProgressTimeToComplete {
  Q_OBJECT
public:
  explicit CExtStatusBarProgressCtrl(QWidget *parent = nullptr);
};

// The visualization-level slider (0..2): a click jumps straight to the
// clicked value; keys and the wheel step it. Every change of value, however
// made, updates the setting VisLevel and is announced exactly once.
class CExtStatusBarSliderCtrl : public QSlider {
  Q_OBJECT
public:
  enum : int { kTrack = 5, kThumbPosition = 4 };

  explicit CExtStatusBarSliderCtrl(QWidget *parent = nullptr);
  // The frame whose VisLevel the slider follows; null: nothing is announced.
  void SetMainFrame(IMainWindow *frame) { m_pMainFrame = frame; }
  // The value at a fraction (0..1) of the channel: min + (max - min)·f
  // rounded to the nearest; fractions outside are clamped.
  static int PositionForFraction(int min, int max, double fraction);
  // Moves to the value under the point; true when the position changed.
  bool PositionFromPoint(const QPoint &point);
  // The channel the thumb runs in, in widget coordinates.
  QRect ChannelRect() const;

Q_SIGNALS:
  // A new level was stored in VisLevel (code kTrack or kThumbPosition);
  // posted, so it arrives after the input event that made it.
  void visLevelChanged(int code, int position);

protected:
  void mousePressEvent(QMouseEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;
  void wheelEvent(QWheelEvent *event) override;

private:
  void NotifyParent(int code);

  bool m_bDragging = false;
  bool m_bDragMoved = false;
  IMainWindow *m_pMainFrame = nullptr; // not owned
};

// The main toolbar's slave-address box (control 197): Enter hands a number
// from 1 to 247 on; anything else beeps and shows the current address again.
class CMainToolbar : public QToolBar {
  Q_OBJECT
public:
  enum : int { kAddressBoxId = 197, kMinAddress = 1, kMaxAddress = 247, kAddressPlaceWidth = 40 };

  explicit CMainToolbar(QWidget *parent = nullptr);

  QLineEdit *AddressBox() const { return m_pAddressBox; }
  // The action holding the box: the frame inserts its buttons before it.
  QAction *AddressAction() const { return m_pAddressAction; }
  // The address the active board window reports; 0: none (box empty).
  void SetAddress(int address);
  int Address() const { return m_nAddress; }
  // What Enter does: reads the box (atoi-style) and announces a valid address.
  void OnEnter();

Q_SIGNALS:
  // The user entered an address in 1..247 (the frame's ForwardToolbarValue).
  void addressEntered(int address);

private:
  QLineEdit *m_pAddressBox;
  QAction *m_pAddressAction;
  int m_nAddress = 0;
};
