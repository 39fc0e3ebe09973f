#pragma once

#include "model/QelDocParVarList.h"

#include <QString>
#include <QStringList>

// A small board description in canonical form: every line is written back
// exactly as it stands.
inline const QStringList &SampleLines()
{
  static const QStringList lines = {
      QStringLiteral("K[] = 4096;1000;12;"),
      QStringLiteral("N[] = 0.1;2.5;"),
      QStringLiteral("U[] = rpm;V;A;degC;"),
      QStringLiteral("b1 Motor#0; b=1; a=0;"),
      QStringLiteral("b2 Speed loop#1; b=2; a=1;"),
      QStringLiteral("b3 Inputs#0; b=30; a=0;"),
      QStringLiteral("f0 gain=1.5; m=0; d=1; M=10; k=0; n=0; s=0; b=2; p=0; v=0; a=0; u=-1;"),
      QStringLiteral("l1 position=100000; m=-200000; d=0; M=200000; k=-1; n=-1; s=0; b=2; p=2; v=1; a=0; u=-1;"),
      QStringLiteral("p2 speed_ref=1000; m=-3000; d=0; M=3000; k=0; n=-1; s=12; b=1; p=0; v=0; a=0; u=0;"),
      QStringLiteral("p3 link_var=300; m=0; d=0; M=9999; k=-1; n=-1; s=0; b=1; p=1; v=0; a=1; u=-1;"),
      QStringLiteral("p4 flags=5; m=-32768; d=0; M=32767; k=-1; n=-1; s=0; b=1; p=2; v=3; a=32772; u=-1;"),
      QStringLiteral("y0 temp; k=-1; n=-1; s=0; b=3; p=0; v=0; a=0; u=3;"),
      QStringLiteral("w1 counter; k=-1; n=-1; s=0; b=3; p=2; v=0; a=0; u=-1;"),
      QStringLiteral("v2 current; k=-1; n=1; s=0; b=3; p=4; v=2; a=0; u=2;"),
  };
  return lines;
}

// Parses every sample line; false when one of them is refused.
inline bool LoadSample(CQelDocParVarList &doc)
{
  for (const QString &line : SampleLines()) {
    if (!doc.ParseDescLine(line))
      return false;
  }
  return true;
}

// The description written back in the same order as the sample.
inline QString WriteAll(const CQelDocParVarList &doc)
{
  QString out;
  doc.SerializeKTable(out);
  doc.SerializeNTable(out);
  doc.SerializeUnits(out);
  doc.SerializeBlocks(out);
  doc.SerializeParameters(out);
  doc.SerializeVariables(out);
  return out;
}
