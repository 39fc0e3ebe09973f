// gendoc: writes a generated board description document (.vtx) of any size,
// for benchmarks and for trying the supervisor on a large board.
#include "BoardGenerator.h"

#include "platform/Cp1252.h"

#include <QCoreApplication>
#include <QSaveFile>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int Usage()
{
  std::fprintf(stderr, "usage: gendoc [--parameters N] [--variables N] [--blocks N] [--languages en,it,...] FILE\n"
                       "  defaults: 3000 parameters, 1500 variables, 200 blocks, languages en,it\n");
  return 2;
}

} // namespace

int main(int argc, char **argv)
{
  QCoreApplication app(argc, argv);
  DescShape shape;
  QStringList languages{QStringLiteral("en"), QStringLiteral("it")};
  QString path;
  for (int i = 1; i < argc; ++i) {
    const char *arg = argv[i];
    const bool hasValue = i + 1 < argc;
    auto number = [&](int *out, int low, int high) {
      const int v = std::atoi(argv[++i]);
      if (v < low || v > high)
        return false;
      *out = v;
      return true;
    };
    if (!std::strcmp(arg, "--parameters") && hasValue) {
      if (!number(&shape.parameters, 6, 9000))
        return Usage();
    } else if (!std::strcmp(arg, "--variables") && hasValue) {
      if (!number(&shape.variables, 7, 9000))
        return Usage();
    } else if (!std::strcmp(arg, "--blocks") && hasValue) {
      if (!number(&shape.blocks, 1, 240))
        return Usage();
    } else if (!std::strcmp(arg, "--languages") && hasValue) {
      languages = QString::fromLocal8Bit(argv[++i]).split(u',', Qt::SkipEmptyParts);
      if (languages.size() > 9)
        return Usage();
    } else if (arg[0] == '-' || !path.isEmpty()) {
      return Usage();
    } else {
      path = QString::fromLocal8Bit(arg);
    }
  }
  if (path.isEmpty())
    return Usage();
  // Each block holds 40 registers: a board must fit its items in its blocks.
  if (shape.parameters > shape.blocks * 20 || shape.variables > shape.blocks * 20) {
    std::fprintf(stderr, "gendoc: at most 20 parameters and 20 variables per block\n");
    return 2;
  }
  QSaveFile file(path);
  const QByteArray bytes = Cp1252::Encode(GenerateDocument(shape, languages));
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    std::fprintf(stderr, "gendoc: cannot write %s\n", qUtf8Printable(path));
    return 1;
  }
  std::printf("%s: %d parameters, %d variables, %d blocks, %lld bytes\n", qUtf8Printable(path), shape.parameters,
              shape.variables, shape.blocks, static_cast<long long>(bytes.size()));
  return 0;
}
