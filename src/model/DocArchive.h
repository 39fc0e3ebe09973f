#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

// A text archive over a whole document, read or written line by line. On disk
// the text is Windows-1252 with "\r\n" line ends; inside it is QString.
class CDocArchive {
public:
  // An archive for writing.
  CDocArchive() = default;
  // An archive for reading the given file bytes or text.
  static CDocArchive FromBytes(const QByteArray &bytes);
  static CDocArchive FromText(QString text);

  bool IsStoring() const { return m_bStoring; }
  bool IsLoading() const { return !m_bStoring; }

  // The next line without its "\n" (and a "\r" before it); false at the end.
  bool ReadString(QString &line);
  // The number of the line last read, 1 for the first; 0 before any.
  int GetLineNumber() const { return m_nLine; }
  // Appends text as it stands (line ends are the caller's).
  void WriteString(QStringView text) { m_text += text; }
  void WriteLine(QStringView text)
  {
    m_text += text;
    m_text += QStringLiteral("\r\n");
  }

  // What was written, or what is being read.
  const QString &GetText() const { return m_text; }
  QByteArray GetBytes() const;

private:
  QString m_text;
  qsizetype m_pos = 0;
  int m_nLine = 0;
  bool m_bStoring = true;
};
