#pragma once

#include "QelDocFileImport.h"

#include <QString>

// The board document: the most-derived layer. Adds the manual's named
// destination (the help topic the views set), the start of the PDF viewer
// and the read of "is_sw_set" that precedes a reset of the board's software
// settings. GUI thread only.
class CQelDoc : public CQelDocFileImport {
  Q_OBJECT
public:
  explicit CQelDoc(QObject *parent = nullptr);

  void SetHelpTopic(const QString &topic) { m_strHelpTopic = topic; }
  const QString &GetHelpTopic() const { return m_strHelpTopic; }
  // Opens the manual at the help topic; gives the topic.
  virtual QString ShowManual();
  // Online, with "is_sw_set": marks the reset pending and queues a read of
  // it at the head of the serial queue. Otherwise nothing.
  void RequestSwSetRead();

  // The environment variable naming a PDF viewer that opens a named
  // destination; see ShowManual.
  static constexpr const char *PdfViewerVariable = "VELOTRIX_PDF_VIEWER";

  // A read of "is_sw_set" was queued for a reset; its answer writes it.
  bool IsResetPending() const { return m_bResetPending; }
  void MarkResetPending() { m_bResetPending = true; }
  void ClearResetPending() { m_bResetPending = false; }

private:
  bool m_bResetPending = false; // the answer to the read turns it into a write
  QString m_strHelpTopic;
};
