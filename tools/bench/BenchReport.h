#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

// What the benchmarks of the running program share to report their figures.

// The processor model the figures were taken on.
inline QString CpuModel()
{
  QFile f(QStringLiteral("/proc/cpuinfo"));
  if (f.open(QIODevice::ReadOnly))
    for (const QByteArray &line : f.readAll().split('\n'))
      if (line.startsWith("model name"))
        return QString::fromLatin1(line.mid(line.indexOf(':') + 1).trimmed());
  return QStringLiteral("unknown");
}

// The median, or -1 for no values.
inline double Median(std::vector<double> v)
{
  if (v.empty())
    return -1;
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// One line of the table of figures against their goals.
struct Row {
  std::string figure;
  double value = 0;
  std::string unit;
  std::string goal;
  int verdict = -1; // 1 met, 0 short, -1 no goal
};

inline void PrintRows(const std::vector<Row> &rows, int figureWidth)
{
  std::printf("%-*s %12s  %-8s %s\n", figureWidth, "figure", "value", "goal", "");
  for (const Row &r : rows)
    std::printf("%-*s %9.2f %-3s %-8s %s\n", figureWidth, r.figure.c_str(), r.value, r.unit.c_str(), r.goal.c_str(),
                r.verdict < 0 ? "" : (r.verdict ? "pass" : "falls short"));
}
