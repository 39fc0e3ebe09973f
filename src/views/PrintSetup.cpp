#include "PrintSetup.h"

#include <QPageLayout>
#include <QPrinter>

namespace {
CPrintSetup *s_pAppSetup = nullptr; // not owned
}

CPrintSetup::CPrintSetup() = default;

CPrintSetup::~CPrintSetup()
{
  if (s_pAppSetup == this)
    s_pAppSetup = nullptr;
}

void CPrintSetup::SetPrintOrientation(int orientation)
{
  if (orientation != DMORIENT_PORTRAIT && orientation != DMORIENT_LANDSCAPE)
    return;
  m_nOrientation = orientation;
  if (m_pPrinter)
    m_pPrinter->setPageOrientation(orientation == DMORIENT_LANDSCAPE ? QPageLayout::Landscape : QPageLayout::Portrait);
}

int CPrintSetup::GetPrintOrientation() const
{
  // A print dialog may have turned the page: the printer holds the truth once made.
  if (m_pPrinter)
    return m_pPrinter->pageLayout().orientation() == QPageLayout::Landscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
  return m_nOrientation;
}

QPrinter &CPrintSetup::GetPrinter()
{
  if (!m_pPrinter) {
    m_pPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
    m_pPrinter->setPageOrientation(m_nOrientation == DMORIENT_LANDSCAPE ? QPageLayout::Landscape
                                                                        : QPageLayout::Portrait);
  }
  return *m_pPrinter;
}

void CPrintSetup::SetPrinter(std::unique_ptr<QPrinter> printer)
{
  m_nOrientation = GetPrintOrientation();
  m_pPrinter = std::move(printer);
  if (m_pPrinter)
    m_pPrinter->setPageOrientation(m_nOrientation == DMORIENT_LANDSCAPE ? QPageLayout::Landscape
                                                                        : QPageLayout::Portrait);
}

void CPrintSetup::SetAppInstance(CPrintSetup *setup)
{
  s_pAppSetup = setup;
}

CPrintSetup &CPrintSetup::ForApp()
{
  if (s_pAppSetup)
    return *s_pAppSetup;
  // Never destroyed: its printer must not outlive the application object.
  static CPrintSetup *s_pDefault = new CPrintSetup;
  return *s_pDefault;
}
