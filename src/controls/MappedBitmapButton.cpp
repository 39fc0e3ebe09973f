#include "MappedBitmapButton.h"

#include "platform/Trace.h"

#include <QDir>
#include <QEvent>
#include <QPainter>

namespace {

void RegisterBitmapPath()
{
  const QString ours = QStringLiteral(":/bitmaps");
  if (!QDir::searchPaths(QStringLiteral("bitmaps")).contains(ours))
    QDir::addSearchPath(QStringLiteral("bitmaps"), ours);
}

} // namespace

CMappedBitmapButton::CMappedBitmapButton(QWidget *parent) : QAbstractButton(parent)
{
  RegisterBitmapPath();
}

bool CMappedBitmapButton::AutoLoad(unsigned nID, QWidget *parent, unsigned bitmapId)
{
  if (!parent)
    return false;
  if (parentWidget() != parent)
    setParent(parent);
  setObjectName(QString::number(nID));
  if (!LoadBitmap(bitmapId))
    return false;
  SizeToContent();
  return true;
}

bool CMappedBitmapButton::LoadBitmap(unsigned bitmapId)
{
  m_images.clear();
  m_nBitmapId = bitmapId;
  QImage source(QStringLiteral("bitmaps:%1.png").arg(bitmapId));
  if (source.isNull() || source.width() < ImageCount) {
    qCWarning(lcControls, "CMappedBitmapButton: bitmap %u cannot be loaded", bitmapId);
    update();
    return false;
  }
  source = source.convertToFormat(QImage::Format_RGB32);
  const QPalette &pal = palette();
  const struct {
    QRgb from;
    QRgb to;
  } map[] = {
      {qRgb(0, 0, 0), pal.color(QPalette::ButtonText).rgb()},
      {qRgb(128, 128, 128), pal.color(QPalette::Dark).rgb()},
      {qRgb(192, 192, 192), pal.color(QPalette::Button).rgb()},
      {qRgb(255, 255, 255), pal.color(QPalette::Light).rgb()},
  };
  for (int y = 0; y < source.height(); ++y) {
    auto *line = reinterpret_cast<QRgb *>(source.scanLine(y));
    for (int x = 0; x < source.width(); ++x)
      for (const auto &m : map)
        if ((line[x] & 0xFFFFFF) == (m.from & 0xFFFFFF)) {
          line[x] = m.to;
          break;
        }
  }
  const int w = source.width() / ImageCount;
  for (int i = 0; i < ImageCount; ++i)
    m_images.push_back(source.copy(i * w, 0, w, source.height()));
  update();
  return true;
}

QImage CMappedBitmapButton::GetImage(int index) const
{
  if (index < 0 || index >= GetImageCount())
    return {};
  return m_images[static_cast<size_t>(index)];
}

int CMappedBitmapButton::CurrentImageIndex() const
{
  if (isDown())
    return ImagePressed;
  if (hasFocus())
    return ImageFocused;
  if (!isEnabled())
    return ImageDisabled;
  return ImageNormal;
}

QSize CMappedBitmapButton::sizeHint() const
{
  return m_images.empty() ? QSize(16, 16) : m_images.front().size();
}

void CMappedBitmapButton::SizeToContent()
{
  if (VTX_ASSERT(GetImageCount() == ImageCount))
    resize(m_images.front().size());
}

void CMappedBitmapButton::paintEvent(QPaintEvent *)
{
  if (GetImageCount() != ImageCount)
    return;
  QPainter p(this);
  p.drawImage(QPoint(0, 0), m_images[static_cast<size_t>(CurrentImageIndex())]);
}

void CMappedBitmapButton::changeEvent(QEvent *event)
{
  QAbstractButton::changeEvent(event);
  if (event->type() == QEvent::PaletteChange && !m_bReloading && GetImageCount() == ImageCount) {
    m_bReloading = true;
    LoadBitmap(m_nBitmapId);
    m_bReloading = false;
  }
  if (event->type() == QEvent::EnabledChange || event->type() == QEvent::PaletteChange)
    update();
}
