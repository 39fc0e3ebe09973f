#include "DialogUnits.h"

#include <QFont>
#include <QFontMetrics>
#include <QString>

#include <algorithm>

CDialogUnits::CDialogUnits(const QFont &font)
{
  const QFontMetrics fm(font);
  static const QString kLetters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  m_baseX = std::max(1, (fm.horizontalAdvance(kLetters) + 26) / 52);
  m_baseY = std::max(1, fm.height());
}

CDialogUnits::CDialogUnits(int baseX, int baseY) : m_baseX(std::max(1, baseX)), m_baseY(std::max(1, baseY)) {}

void CDialogUnits::FitText(const QFont &font, const QString &text, int w, int padding, int maxBaseX)
{
  if (w <= 0)
    return;
  const int need = QFontMetrics(font).horizontalAdvance(text) + padding;
  const int wanted = (need * 4 + w - 1) / w;
  m_baseX = std::max(m_baseX, std::min(wanted, maxBaseX));
}

void CDialogUnits::FitWrappedText(const QFont &font, const QString &text, int w, int h, int maxBaseY)
{
  if (w <= 0 || h <= 0)
    return;
  const QRect box(0, 0, std::max(1, X(w)), 1 << 20);
  const int need = QFontMetrics(font).boundingRect(box, Qt::TextWordWrap, text).height();
  const int wanted = (need * 8 + h - 1) / h;
  m_baseY = std::max(m_baseY, std::min(wanted, maxBaseY));
}
