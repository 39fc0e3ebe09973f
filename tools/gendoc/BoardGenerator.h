#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// Generated board descriptions for tests, benchmarks and the gendoc tool.

// Size of a generated board.
struct DescShape {
  int parameters = 3000;
  int variables = 1500;
  int blocks = 200;
  // Past the standard items, every tenth 16-bit parameter an enumeration of
  // kEnumValues named values and every tenth (five further on) a bit field.
  bool enumsAndBitFields = false;
};

constexpr int kEnumValues = 8;

// The kind of 16-bit parameter i (counted from the first 16-bit one) on a
// board of that shape: 8 enumeration, 4 bit field, 0 plain.
inline int GeneratedShortKind(const DescShape &shape, int i)
{
  if (!shape.enumsAndBitFields || i < 10)
    return 0;
  return i % 10 == 3 ? 8 : i % 10 == 8 ? 4 : 0;
}

// The name of item i (parameter or variable) in the generated lines.
using ItemNamer = std::function<QString(bool parameter, int index)>;

inline QString DefaultItemName(bool parameter, int index)
{
  return QStringLiteral("%1_item_%2").arg(parameter ? QStringLiteral("par") : QStringLiteral("var")).arg(index);
}

inline QString GenerateBlockLines(const DescShape &shape)
{
  QString text;
  for (int b = 1; b <= shape.blocks; ++b)
    text += QStringLiteral("b%1 Block number %1#%2; b=%3; a=0;\r\n").arg(b).arg(b / 2).arg(b * 4);
  return text;
}

inline QString GenerateItemLines(const DescShape &shape, const ItemNamer &namer = DefaultItemName)
{
  QString text;
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
      const QString name = namer(parameters, i);
      const int shortKind = parameters && kind == 0 ? GeneratedShortKind(shape, i - floats - longs) : 0;
      if (shortKind != 0) {
        text += QStringLiteral("p%1 %2=%3; m=%4; d=0; M=%5; k=-1; n=-1; s=0; b=%6; p=%7; v=%8; a=%9; u=-1;\r\n")
                    .arg(i)
                    .arg(name)
                    .arg(shortKind == 8 ? i % kEnumValues : i % 1000)
                    .arg(shortKind == 8 ? 0 : -32768)
                    .arg(shortKind == 8 ? kEnumValues - 1 : 32767)
                    .arg(block)
                    .arg(position)
                    .arg(i % 4)
                    .arg(shortKind);
      } else if (parameters) {
        if (kind == 2)
          text += QStringLiteral("f%1 %2=1.5; m=-100; d=0; M=100; k=0; n=0; s=0; b=%3; p=%4; v=%5; a=0; u=%6;\r\n")
                      .arg(i)
                      .arg(name)
                      .arg(block)
                      .arg(position)
                      .arg(i % 4)
                      .arg(i % 7 - 1);
        else
          text +=
              QStringLiteral("%1%2 %3=%4; m=-30000; d=0; M=30000; k=%5; n=-1; s=12; b=%6; p=%7; v=%8; a=%9; u=%10;\r\n")
                  .arg(QChar(kind == 1 ? u'l' : u'p'))
                  .arg(i)
                  .arg(name)
                  .arg(i % 1000)
                  .arg(i % 3)
                  .arg(block)
                  .arg(position)
                  .arg(i % 4)
                  .arg(i % 5 == 0 ? 1 : 0)
                  .arg(i % 7 - 1);
      } else {
        text += QStringLiteral("%1%2 %3; k=-1; n=%4; s=0; b=%5; p=%6; v=%7; a=0; u=%8;\r\n")
                    .arg(QChar(kind == 2 ? u'y' : (kind == 1 ? u'w' : u'v')))
                    .arg(i)
                    .arg(name)
                    .arg(i % 3)
                    .arg(block)
                    .arg(position)
                    .arg(i % 4)
                    .arg(i % 7 - 1);
      }
      position += registers;
      ++inBlock;
    }
  };
  place(shape.parameters, shape.parameters / 10, shape.parameters * 7 / 30, true);
  place(shape.variables, shape.variables / 8, shape.variables / 5, false);
  return text;
}

// Tables, blocks, parameters and variables in the canonical line form, lines
// ended by "\r\n". Floats come first, then 32-bit items, then 16-bit items;
// each block holds 40 registers.
inline QString GenerateDescription(const DescShape &shape = {}, const ItemNamer &namer = DefaultItemName)
{
  QString text;
  text += QStringLiteral("K[] = 4096;1000;12;8192;1;\r\n");
  text += QStringLiteral("N[] = 0.1;2.5;0.001;\r\n");
  text += QStringLiteral("U[] = rpm;V;A;degC;mm;s;\r\n");
  text += GenerateBlockLines(shape);
  text += GenerateItemLines(shape, namer);
  return text;
}

// A whole board document as the supervisor writes it: header, identity,
// variable rows, tables, dictionaries (the standard items named through the
// standard dictionary, and every name again in each language code) and the
// description. Needs at least 6 16-bit parameters and 7 16-bit variables.
inline QString GenerateDocument(const DescShape &shape = {}, const QStringList &languages = {"en", "it"})
{
  const int firstShortPar = shape.parameters / 10 + shape.parameters * 7 / 30;
  const int firstShortVar = shape.variables / 8 + shape.variables / 5;
  const QStringList stdPars = {"par0", "is_sw_set", "diagn_ts", "trig_lev_pos", "trig_lev_neg", "trig_delay"};
  const QStringList stdVars = {"error_flag",    "warning_flag", "status_flag", "win_cmd",
                               "sampling_time", "buf_width",    "buf_length"};
  auto namer = [&](bool parameter, int i) {
    const int at = i - (parameter ? firstShortPar : firstShortVar);
    const QStringList &names = parameter ? stdPars : stdVars;
    return at >= 0 && at < names.size() ? names[at] : DefaultItemName(parameter, i);
  };

  QString text = QStringLiteral("#Norv tembrano v1.1\r\n");
  text += QStringLiteral("Version = NORV GEN%1 v1.00;\r\n").arg(shape.parameters);
  text += QStringLiteral("Init = std;\r\nMODBUS = 1;\r\nL = 0;1;2;3;4;5;\r\n");
  text += QStringLiteral("K[] = 4096;1000;12;8192;1;\r\nN[] = 0.1;2.5;0.001;\r\nU[] = rpm;V;A;degC;mm;s;\r\n");

  const QString standard =
      QStringLiteral("=[StdVariables#0]error_flag[StdVariables#1]warning_flag"
                     "[StdVariables#2]status_flag[StdVariables#3]win_cmd[trig_delay]trig_delay\r\n");
  text += QStringLiteral("s0") + standard;
  for (const QString &code : languages)
    text += u's' + code + standard;

  // Names in dictionary order: blocks from entry 0 (a copy of block 1), then
  // each list by kind: 16-bit, 32-bit, float.
  auto names = [&](const QString &suffix) {
    QString line;
    auto add = [&](const QString &name) { line += name + suffix + u';'; };
    add(QStringLiteral("Block number 1"));
    for (int b = 1; b <= shape.blocks; ++b)
      add(QStringLiteral("Block number %1").arg(b));
    auto byKind = [&](bool parameter, int count, int floats, int longs) {
      for (int i = floats + longs; i < count; ++i)
        add(namer(parameter, i));
      for (int i = floats; i < floats + longs; ++i)
        add(namer(parameter, i));
      for (int i = 0; i < floats; ++i)
        add(namer(parameter, i));
    };
    byKind(true, shape.parameters, shape.parameters / 10, shape.parameters * 7 / 30);
    byKind(false, shape.variables, shape.variables / 8, shape.variables / 5);
    return line;
  };
  text += QStringLiteral("s0=") + names(QString()) + QStringLiteral("\r\n");
  for (const QString &code : languages)
    text += u's' + code + u'=' + names(u'_' + code) + QStringLiteral("\r\n");

  // The enumerations' named values, keyed by the name each language shows.
  for (int i = 0; i < shape.parameters - firstShortPar; ++i) {
    if (GeneratedShortKind(shape, i) != 8)
      continue;
    const QString name = namer(true, firstShortPar + i);
    auto values = [&](const QString &code, const QString &suffix) {
      QString line = u's' + code + u'=';
      for (int v = 0; v < kEnumValues; ++v)
        line += QStringLiteral("[%1%2#%3]Value %3").arg(name, suffix).arg(v);
      return line + QStringLiteral("\r\n");
    };
    text += values(QStringLiteral("0"), QString());
    for (const QString &code : languages)
      text += values(code, u'_' + code);
  }

  text += GenerateBlockLines(shape);
  text += GenerateItemLines(shape, namer);
  text += QStringLiteral("\r\n");
  return text;
}
