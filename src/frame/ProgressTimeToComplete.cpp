#include "ProgressTimeToComplete.h"

#include <QPainter>
#include <QPalette>
#include <QTransform>

#include <algorithm>
#include <cmath>

TProgressTimeToComplete::TProgressTimeToComplete(QWidget *parent) : QProgressBar(parent)
{
  m_font = font();
  m_font.setPointSize(9);
  setTextVisible(false);
  m_startTime.start();
}

void TProgressTimeToComplete::Restart()
{
  m_startTime.restart();
}

void TProgressTimeToComplete::SetSmooth(bool smooth)
{
  m_bSmooth = smooth;
  update();
}

double TProgressTimeToComplete::Fraction() const
{
  const double span = double(maximum()) - double(minimum());
  if (span <= 0)
    return 0;
  return std::clamp((double(value()) - double(minimum())) / span, 0.0, 1.0);
}

int TProgressTimeToComplete::ChunkCount() const
{
  return std::clamp(int(Fraction() * double(kChunks) + 0.9), 0, int(kChunks));
}

QString TProgressTimeToComplete::FormatTimeLeft(double, double secondsLeft) const
{
  if (!std::isfinite(secondsLeft) || secondsLeft < 0)
    secondsLeft = 0;
  // Beyond a year the figure means nothing; keep the integers in range.
  secondsLeft = std::min(secondsLeft, 365.0 * 24 * 3600);
  const int seconds = int(std::fmod(secondsLeft, 60.0));
  if (secondsLeft < 60) {
    if (seconds < 1)
      return QStringLiteral("< 1s");
    return QStringLiteral("%1 s").arg(seconds);
  }
  return QStringLiteral("%1 m %2 s").arg(qint64(secondsLeft / 60)).arg(seconds);
}

QString TProgressTimeToComplete::TextForElapsed(qint64 elapsedMs) const
{
  const double fraction = Fraction();
  if (fraction <= 0.02)
    return {};
  const double elapsed = double(elapsedMs) / 1000.0;
  return FormatTimeLeft(fraction, elapsed / fraction * (1 - fraction));
}

QString TProgressTimeToComplete::TimeLeftText() const
{
  return TextForElapsed(Elapsed());
}

void TProgressTimeToComplete::paintEvent(QPaintEvent *)
{
  QPainter p(this);
  const QRect client = rect();
  const bool vertical = orientation() == Qt::Vertical;
  const double fraction = Fraction();
  p.fillRect(client, palette().brush(backgroundRole()));

  QRect filled = client;
  const QColor bar = palette().color(QPalette::Highlight);
  if (m_bSmooth) {
    if (vertical)
      filled.setTop(client.bottom() + 1 - int(fraction * client.height()));
    else
      filled.setWidth(int(fraction * client.width()));
    p.fillRect(filled, bar);
  } else {
    const int length = vertical ? client.height() : client.width();
    const int block = std::max(1, (length - kChunks) / kChunks);
    const int n = ChunkCount();
    int edge = vertical ? client.bottom() + 1 : client.left();
    for (int i = 0; i < n; ++i) {
      if (vertical) {
        p.fillRect(QRect(client.left(), edge - block, client.width(), block), bar);
        edge -= block + kChunkGap;
      } else {
        p.fillRect(QRect(edge, client.top(), block, client.height()), bar);
        edge += block + kChunkGap;
      }
    }
    if (vertical)
      filled.setTop(std::max(client.top(), edge + kChunkGap));
    else
      filled.setRight(std::min(client.right(), edge - kChunkGap - 1));
    if (n == 0)
      filled = QRect();
  }

  const QString text = TimeLeftText();
  if (text.isEmpty())
    return;
  p.setFont(m_font);
  auto drawText = [&](const QColor &colour) {
    p.setPen(colour);
    if (!vertical) {
      p.drawText(client, Qt::AlignCenter | Qt::TextSingleLine, text);
      return;
    }
    p.save();
    p.translate(client.left(), client.bottom() + 1);
    p.rotate(-90);
    p.drawText(QRect(0, 0, client.height(), client.width()), Qt::AlignCenter | Qt::TextSingleLine, text);
    p.restore();
  };
  // The text changes colour exactly where the bar passes under it.
  p.save();
  p.setClipRect(filled);
  drawText(palette().color(QPalette::HighlightedText));
  p.restore();
  p.save();
  p.setClipRegion(QRegion(client).subtracted(QRegion(filled)));
  drawText(palette().color(QPalette::WindowText));
  p.restore();
}
