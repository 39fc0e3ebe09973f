#pragma once

#include <QByteArray>
#include <QString>

// Windows-1252, the 8-bit encoding of board and document text. Every byte value
// decodes to one character and encodes back to the same byte; characters outside
// the code page encode as '?'.
namespace Cp1252 {
QString Decode(const QByteArray &bytes);
QString Decode(const char *data, qsizetype size);
QByteArray Encode(const QString &text);
char EncodeChar(QChar ch, bool *ok = nullptr);
QChar DecodeChar(unsigned char byte);
} // namespace Cp1252
