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
  // A board's text with lines of our own after it, joined by "\n": the
  // board's last line reads as it was sent, with or without its line end.
  static CDocArchive FromText(QString text, QStringView appended);

  bool IsStoring() const { return m_bStoring; }
  bool IsLoading() const { return !m_bStoring; }

  // The next line without its "\n" (and a "\r" before it); false at the end.
  bool ReadString(QString &line);
  // The number of the line last read, 1 for the first; 0 before any.
  int GetLineNumber() const { return m_nLine; }
  // Whether a "\n" ended the line last read (a lone "\r" does not); a text
  // cut short has none after its last line.
  bool LastLineEnded() const { return m_bLineEnded; }
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
  qsizetype m_nJoin = -1; // the "\n" that FromText added, if any
  int m_nLine = 0;
  bool m_bLineEnded = false;
  bool m_bStoring = true;
};
