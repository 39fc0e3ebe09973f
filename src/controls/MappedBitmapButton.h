#pragma once

#include <QAbstractButton>
#include <QImage>

#include <vector>

// A push button that shows one of four images cut side by side from one
// bitmap (normal, pressed, focused, disabled). Black, grey 128, grey 192 and
// white of the bitmap are shown in the palette's button text, shadow, face
// and highlight colours, mapped again when the palette changes. Bitmap id N
// is the image "bitmaps:N.png". GUI thread only.
class CMappedBitmapButton : public QAbstractButton {
  Q_OBJECT
public:
  enum { ImageNormal = 0, ImagePressed = 1, ImageFocused = 2, ImageDisabled = 3, ImageCount = 4 };

  explicit CMappedBitmapButton(QWidget *parent = nullptr);

  // Makes the button a child of parent named after nID, loads the bitmap and
  // sizes the button to one image. False when there is no parent or the
  // bitmap does not load.
  bool AutoLoad(unsigned nID, QWidget *parent, unsigned bitmapId);
  // False when the bitmap cannot be loaded or is narrower than four pixels;
  // the button then shows nothing.
  bool LoadBitmap(unsigned bitmapId);
  unsigned GetBitmapId() const { return m_nBitmapId; }
  int GetImageCount() const { return static_cast<int>(m_images.size()); }
  // The image of a state, or a null image for an index out of range.
  QImage GetImage(int index) const;
  // The image shown now: pressed, else focused, else disabled, else normal.
  int CurrentImageIndex() const;

  QSize sizeHint() const override;

protected:
  void paintEvent(QPaintEvent *event) override;
  void changeEvent(QEvent *event) override;

private:
  void SizeToContent();

  std::vector<QImage> m_images;
  unsigned m_nBitmapId = static_cast<unsigned>(-1);
  bool m_bReloading = false;
};
