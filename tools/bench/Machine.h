#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// The processor model the figures were taken on, for the benchmarks' reports.
inline QString CpuModel()
{
  QFile f(QStringLiteral("/proc/cpuinfo"));
  if (f.open(QIODevice::ReadOnly))
    for (const QByteArray &line : f.readAll().split('\n'))
      if (line.startsWith("model name"))
        return QString::fromLatin1(line.mid(line.indexOf(':') + 1).trimmed());
  return QStringLiteral("unknown");
}
