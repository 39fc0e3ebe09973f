#include "TraceTestSupport.h"

#include "TestSupport.h"
#include "chart/ChartCtrl.h"
#include "trace/GenMemBuff.h"

#include <QFile>
#include <QPainter>

#include <gtest/gtest.h>

FakeChild::FakeChild()
{
  id = WindowRegistry::Instance().Register(this);
}

FakeChild::~FakeChild()
{
  WindowRegistry::Instance().Unregister(id);
}

const IBoardLookup &RegisteredBoards()
{
  struct Registered : IBoardLookup {
    IBoardWindow *Child(WindowId id) const override
    {
      return dynamic_cast<IBoardWindow *>(WindowRegistry::Instance().Resolve(id));
    }
  };
  static const Registered s_boards;
  return s_boards;
}

// Each track in its own band, so no curve hides another.
std::int16_t TraceWord(int i, int t)
{
  return static_cast<std::int16_t>((i * 37) % 2000 + t * 3000 - 9000);
}

CRequestPacket TraceAnswer(WindowId child, int tracks, int samples, int words)
{
  CRequestPacket p(child, 5, REQ_READ_TRACE);
  p.message = ANS_READ_TRACE;
  p.trace_tracks = static_cast<uint16_t>(tracks);
  p.trace_samples = static_cast<uint16_t>(samples);
  const int n = words < 0 ? tracks * samples : words;
  for (int w = 0; w < n; ++w)
    p.wAnsData.push_back(static_cast<uint16_t>(TraceWord(w / std::max(1, tracks), w % std::max(1, tracks))));
  return p;
}

QString RouteTraceAnswer(CGenMemBuff &mgr, IBoardWindow &board, const CRequestPacket &answer)
{
  board.ClearBufferRead();
  QString name = board.GetBufferName();
  std::array<QString, 6> labels;
  std::array<double, 6> scales{};
  for (int i = 0; i < 6; ++i) {
    scales[static_cast<size_t>(i)] = board.TrackScale(i);
    labels[static_cast<size_t>(i)] = board.TrackLabel(i);
  }
  mgr.AddBufferWindow(name, labels, scales, answer);
  mgr.SetState(1);
  return name;
}

QByteArray SaveOpenSave(CGenMemBuff &mgr, ScriptedPrompter &prompter, const QString &folder)
{
  const QString first = folder + QStringLiteral("/first.csv");
  const QString second = folder + QStringLiteral("/second.csv");
  prompter.AnswerFile(first);
  mgr.OnSave();
  prompter.AnswerFile(first);
  mgr.OnOpen();
  prompter.AnswerFile(second);
  mgr.OnSave();
  QFile a(first), b(second);
  EXPECT_TRUE(a.open(QIODevice::ReadOnly));
  EXPECT_TRUE(b.open(QIODevice::ReadOnly));
  const QByteArray bytes = a.readAll();
  EXPECT_EQ(bytes, b.readAll());
  return bytes;
}

bool WriteFile(const QString &path, const QByteArray &bytes)
{
  QFile f(path);
  return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QImage RenderChart(CChartCtrl &chart)
{
  QImage image(chart.size(), QImage::Format_RGB32);
  image.fill(Qt::black);
  QPainter painter(&image);
  chart.Draw(painter, image.rect());
  return image;
}

int CountColour(const QImage &image, QRgb colour)
{
  int n = 0;
  for (int y = 0; y < image.height(); ++y) {
    const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x)
      if ((line[x] & 0xFFFFFF) == (colour & 0xFFFFFF))
        ++n;
  }
  return n;
}
