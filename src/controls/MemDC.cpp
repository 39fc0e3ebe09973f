#include "MemDC.h"

#include "platform/Trace.h"

#include <QPaintDevice>
#include <QPaintEngine>

namespace {
bool IsPrinting(QPainter *p)
{
  const QPaintDevice *dev = p->device();
  return dev && (dev->devType() == QInternal::Printer || dev->devType() == QInternal::Picture);
}
} // namespace

CMemDC::CMemDC(QPainter *pTarget, const QRect *area) : m_pDC(pTarget), m_bMemDC(false)
{
  VTX_ASSERT(pTarget != nullptr);
  if (!pTarget)
    return;
  m_bMemDC = !IsPrinting(pTarget);
  if (area)
    m_rect = *area;
  else if (pTarget->hasClipping())
    m_rect = pTarget->clipBoundingRect().toAlignedRect();
  else if (pTarget->device())
    m_rect =
        pTarget->transform().inverted().mapRect(QRect(0, 0, pTarget->device()->width(), pTarget->device()->height()));

  if (m_bMemDC) {
    m_deviceRect = pTarget->transform().mapRect(m_rect);
    const qreal dpr = pTarget->device() ? pTarget->device()->devicePixelRatioF() : 1.0;
    if (m_deviceRect.isEmpty()) {
      qCDebug(lcControls) << "FAIL FAIL FAIL FAIL FAIL to CreateCompatibleDC(pDC) FAIL FAIL FAIL FAIL FAIL FAIL FAIL";
      m_bMemDC = false;
    } else {
      m_bitmap = QPixmap(m_deviceRect.size() * dpr);
      if (m_bitmap.isNull()) {
        qCDebug(lcControls)
            << "FAIL FAIL FAIL FAIL FAIL to m_bitmap.CreateCompatibleBitmap(...) FAIL FAIL FAIL FAIL FAIL FAIL FAIL";
        m_bMemDC = false;
      } else {
        m_bitmap.setDevicePixelRatio(dpr);
        m_painter = std::make_unique<QPainter>(&m_bitmap);
        // Same mapping as the target, shifted so the area's corner is the origin.
        m_painter->setTransform(pTarget->transform() * QTransform::fromTranslate(-m_deviceRect.x(), -m_deviceRect.y()));
        m_painter->setFont(pTarget->font());
        m_painter->setPen(pTarget->pen());
        m_painter->setBackground(pTarget->background());
        m_painter->setRenderHints(pTarget->renderHints());
      }
    }
  }
  GetDC()->fillRect(m_rect, pTarget->background().color());
}

CMemDC::~CMemDC()
{
  if (!m_bMemDC || !m_painter)
    return;
  m_painter->end();
  m_pDC->save();
  m_pDC->resetTransform();
  m_pDC->drawPixmap(m_deviceRect.topLeft(), m_bitmap);
  m_pDC->restore();
}
