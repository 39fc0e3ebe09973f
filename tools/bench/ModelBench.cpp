// Parsing and writing speed of a large board description; run by hand:
// build/<x>/bin/model_bench (a Release build gives meaningful figures).
#include "DescGenerator.h"

#include "ModelSample.h"

#include "model/QelDocParVarList.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <benchmark/benchmark.h>

namespace {

void ParseText(CQelDocParVarList &doc, QStringView text)
{
  qsizetype start = 0;
  while (start < text.size()) {
    qsizetype end = text.indexOf(u'\n', start);
    if (end < 0)
      end = text.size();
    QStringView line = text.mid(start, end - start);
    if (line.endsWith(u'\r'))
      line.chop(1);
    doc.ParseDescLine(line);
    start = end + 1;
  }
}

void BM_ParseDescription(benchmark::State &state)
{
  const QString text = GenerateDescription();
  CQelDocParVarList doc;
  for (auto _ : state) {
    doc.DeleteContents();
    ParseText(doc, text);
    benchmark::DoNotOptimize(doc.GetParCount());
  }
  if (doc.GetParCount() != 3000 || doc.GetVarCount() != 1500 || doc.GetBlockCount() != 201)
    state.SkipWithError("the generated description was not read whole");
  // One byte per character in the Windows-1252 file.
  state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_ParseDescription)->Unit(benchmark::kMillisecond);

void BM_WriteDescription(benchmark::State &state)
{
  const QString text = GenerateDescription();
  CQelDocParVarList doc;
  ParseText(doc, text);
  qsizetype written = 0;
  for (auto _ : state) {
    const QString out = WriteAll(doc);
    written = out.size();
    benchmark::DoNotOptimize(out.constData());
  }
  if (written != text.size())
    state.SkipWithError("written text differs in length from the input");
  state.SetBytesProcessed(state.iterations() * written);
}
BENCHMARK(BM_WriteDescription)->Unit(benchmark::kMillisecond);

// Ten languages: nine more names on every record, then a selection.
void BM_TenLanguages(benchmark::State &state)
{
  const QString text = GenerateDescription();
  for (auto _ : state) {
    state.PauseTiming();
    CQelDocParVarList doc;
    ParseText(doc, text);
    state.ResumeTiming();
    for (int lang = 1; lang < 10; ++lang) {
      const QString suffix = QStringLiteral("_l%1").arg(lang);
      for (Parametri &p : doc.GetParameters())
        p.SetName(p.GetName() + suffix);
      for (Variabili &v : doc.GetVariables())
        v.SetName(v.GetName() + suffix);
    }
    for (Parametri &p : doc.GetParameters())
      p.SetNamePos(7);
    for (Variabili &v : doc.GetVariables())
      v.SetNamePos(7);
    benchmark::DoNotOptimize(doc.GetParameters().back().GetNameText().size());
  }
}
BENCHMARK(BM_TenLanguages)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
  QCoreApplication app(argc, argv);
  QLoggingCategory::setFilterRules(QStringLiteral("velotrix.*.debug=false"));
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
