#pragma once

#include <memory>

class QPrinter;

// The application's printer for parameter printouts: the page orientation
// (1 portrait, 2 landscape) that print and preview share, and the number of
// pages the preview showed last. The application owns one; GUI thread only.
class CPrintSetup {
public:
  enum { DMORIENT_PORTRAIT = 1, DMORIENT_LANDSCAPE = 2 };

  CPrintSetup();
  ~CPrintSetup();
  CPrintSetup(const CPrintSetup &) = delete;
  CPrintSetup &operator=(const CPrintSetup &) = delete;

  // Takes 1 or 2; any other value changes nothing.
  void SetPrintOrientation(int orientation);
  // 1 or 2. Kept here also when the system has no printer, so a choice made
  // in the preview is never lost (never 0).
  int GetPrintOrientation() const;

  // The printer that print and preview use, made on first use with the
  // orientation applied. A print dialog may change its settings in place.
  QPrinter &GetPrinter();
  // Puts another printer in place (a print setup that picks another
  // printer, tests); the current orientation is applied to it.
  void SetPrinter(std::unique_ptr<QPrinter> printer);

  // The pages the preview showed last (1, 2, 3, 4, 6 or 9); 0 before any.
  int GetNumPreviewPages() const { return m_nNumPreviewPages; }
  void SetNumPreviewPages(int pages) { m_nNumPreviewPages = pages; }

  // The application's instance, which the views use; the application
  // registers it at start and removes it (nullptr) before it is destroyed.
  // Without one, a process-wide default is given.
  static void SetAppInstance(CPrintSetup *setup);
  static CPrintSetup &ForApp();

private:
  std::unique_ptr<QPrinter> m_pPrinter;
  int m_nOrientation = DMORIENT_PORTRAIT;
  int m_nNumPreviewPages = 0;
};
