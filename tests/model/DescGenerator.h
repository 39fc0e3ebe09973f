#pragma once

#include <QString>

// A generated board description (tables, blocks, parameters, variables) in
// the canonical line form, lines ended by "\r\n".
struct DescShape {
  int parameters = 3000;
  int variables = 1500;
  int blocks = 200;
};

inline QString GenerateDescription(const DescShape &shape = {})
{
  QString text;
  text += QStringLiteral("K[] = 4096;1000;12;8192;1;\r\n");
  text += QStringLiteral("N[] = 0.1;2.5;0.001;\r\n");
  text += QStringLiteral("U[] = rpm;V;A;degC;mm;s;\r\n");
  for (int b = 1; b <= shape.blocks; ++b)
    text += QStringLiteral("b%1 Block number %1#%2; b=%3; a=0;\r\n").arg(b).arg(b / 2).arg(b * 4);
  // Each block holds 40 registers; items fill them in index order.
  auto place = [&](int count, int floats, int longs, bool parameters) {
    int block = 1;
    int position = 0;
    const int perBlock = (count + shape.blocks - 1) / shape.blocks;
    int inBlock = 0;
    for (int i = 0; i < count; ++i) {
      const int kind = i < floats ? 2 : (i < floats + longs ? 1 : 0);
      const int registers = kind == 0 ? 1 : 2;
      if (inBlock == perBlock || position + registers > 40) {
        ++block;
        position = 0;
        inBlock = 0;
      }
      const QString name = QStringLiteral("%1_item_%2").arg(parameters ? QStringLiteral("par") : QStringLiteral("var")).arg(i);
      if (parameters) {
        if (kind == 2)
          text += QStringLiteral("f%1 %2=1.5; m=-100; d=0; M=100; k=0; n=0; s=0; b=%3; p=%4; v=%5; a=0; u=%6;\r\n")
                      .arg(i).arg(name).arg(block).arg(position).arg(i % 4).arg(i % 7 - 1);
        else
          text += QStringLiteral("%1%2 %3=%4; m=-30000; d=0; M=30000; k=%5; n=-1; s=12; b=%6; p=%7; v=%8; a=%9; u=%10;\r\n")
                      .arg(QChar(kind == 1 ? u'l' : u'p'))
                      .arg(i).arg(name).arg(i % 1000).arg(i % 3).arg(block).arg(position).arg(i % 4)
                      .arg(i % 5 == 0 ? 1 : 0).arg(i % 7 - 1);
      } else {
        text += QStringLiteral("%1%2 %3; k=-1; n=%4; s=0; b=%5; p=%6; v=%7; a=0; u=%8;\r\n")
                    .arg(QChar(kind == 2 ? u'y' : (kind == 1 ? u'w' : u'v')))
                    .arg(i).arg(name).arg(i % 3).arg(block).arg(position).arg(i % 4).arg(i % 7 - 1);
      }
      position += registers;
      ++inBlock;
    }
  };
  place(shape.parameters, shape.parameters / 10, shape.parameters * 7 / 30, true);
  place(shape.variables, shape.variables / 8, shape.variables / 5, false);
  return text;
}
