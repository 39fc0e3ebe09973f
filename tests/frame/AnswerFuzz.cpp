// libFuzzer target: a board that answers what it likes. A connection over
// the example document goes online, reads all, polls, reads the K table, asks
// for its description, resets and reads the trace buffer, in an order the
// input chooses; every queued request is answered with input-made contents
// shaped as the serial manager shapes them (as many registers as asked, texts
// up to the input's length, errors, dropped answers) and routed by the main
// frame's router. Nothing may crash, and the document must stay whole.
#include "FrameFakes.h"

#include "frame/AnswerRouter.h"
#include "frame/ChildConn.h"
#include "frame/FrameCodes.h"

#include "support/FolderDocHost.h"
#include "model/QelDoc.h"
#include "modbus/BoardProtocol.h"
#include "modbus/RequestPacket.h"
#include "platform/Cp1252.h"
#include "platform/Prompter.h"
#include "trace/MemBuffDlg.h"

#include <QApplication>
#include <QFile>
#include <QLoggingCategory>

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

constexpr WindowId kWnd = 77;

class SilentPrompter : public Prompter {
public:
  int MessageBox(const QString &, const QString &, unsigned, QWidget *) override { return IDOK; }
  QString FileDialog(const FileDialogRequest &, QWidget *) override { return {}; }
  int PopupMenu(const QList<PopupMenuItem> &, const QPoint &, QWidget *) override { return 0; }
};

// The input, taken from the front; zeros once it is spent.
class Input {
public:
  Input(const std::uint8_t *data, std::size_t size) : m_data(data), m_size(size) {}
  bool Empty() const { return m_pos >= m_size; }
  std::uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
  std::uint16_t Word()
  {
    const std::uint16_t high = Byte();
    return static_cast<std::uint16_t>(high << 8 | Byte());
  }
  // A text of up to the length the input names, cut at the input's end.
  QString Text()
  {
    const std::size_t want = Word();
    const std::size_t take = std::min(want, m_size - std::min(m_pos, m_size));
    const QByteArray bytes(reinterpret_cast<const char *>(m_data + m_pos), static_cast<qsizetype>(take));
    m_pos += take;
    return Cp1252::Decode(bytes);
  }
  std::vector<std::uint16_t> Words(std::size_t n)
  {
    std::vector<std::uint16_t> words(n);
    for (auto &w : words)
      w = Word();
    return words;
  }

private:
  const std::uint8_t *m_data;
  std::size_t m_size;
  std::size_t m_pos = 0;
};

class Conn : public CChildConn {
public:
  using CChildConn::CChildConn;
};

void Check(bool cond)
{
  if (!cond)
    std::abort();
}

// What the example board says of itself: its identity and its description
// as it uploads it (no header line).
struct Example {
  QByteArray file;
  QString identity;
  QString description;
};

// The example's description with a few bytes changed by the input.
QString Mutated(const QString &text, Input &in)
{
  QString out = text;
  for (int edits = in.Byte() % 8; edits > 0 && !out.isEmpty(); --edits)
    out[in.Word() % out.size()] = QChar(char16_t(in.Byte()));
  return out;
}

// The answer the serial manager would give to one request, or false for one
// it never gives (the request dropped). Some answers start from what the
// example board would send, so that the input reaches past the version check
// and the description loader.
bool Shape(CRequestPacket &p, Input &in, const Example &example)
{
  const std::uint8_t fate = in.Byte();
  if (fate % 16 == 0)
    return false;
  if (fate % 16 == 1) {
    p.error = static_cast<std::uint16_t>(1 + in.Byte() % 12);
    p.strVersion = in.Text();
    return true;
  }
  p.error = 0;
  switch (p.message) {
  case REQ_READ_ONE:
    p.wAnsData = in.Words(1);
    break;
  case REQ_READ_BLOCK:
    p.wAnsData = in.Words(p.PktType.par.num_par);
    break;
  case REQ_READ_VARS:
    p.wAnsData = in.Words(p.PktType.var.num_var);
    break;
  case REQ_K_TABLE: {
    p.wAnsData = in.Words(in.Word() % (BoardProtocol::kMaxTableEntries + 1));
    p.fAnsNTable.clear();
    if (p.k_mode == 2 && p.num_k > 0) {
      const std::size_t n =
          std::min<std::size_t>(in.Word() % (BoardProtocol::kMaxTableEntries + 1), std::size_t(p.num_k));
      for (std::size_t i = 0; i < n; ++i) {
        const std::uint16_t low = in.Word();
        p.fAnsNTable.push_back(WordsToFloat(in.Word(), low));
      }
    }
    break;
  }
  case REQ_GO_ONLINE:
    p.strVersion = fate & 0x10 ? example.identity : in.Text();
    p.strLanguages = in.Text();
    break;
  case REQ_DESCRIPTION:
    p.strVersion = fate & 0x10 ? Mutated(example.description, in) : in.Text();
    p.message = ANS_DESCRIPTION;
    break;
  case REQ_READ_TRACE: {
    const std::uint16_t tracks = in.Byte() % (BoardProtocol::kMaxTraceTracks + 1);
    const std::uint16_t samples = in.Word() % 1200;
    p.trace_tracks = tracks;
    p.trace_samples = samples;
    p.wAnsData = in.Words(std::size_t(tracks) * samples);
    p.message = ANS_READ_TRACE;
    break;
  }
  default: // writes, go offline and the kinds without an exchange
    break;
  }
  return true;
}

// The main frame as answer routing sees it: one board window, and the
// buffer window a downloaded trace goes to.
class OneBoard : public IBoardRegistry {
public:
  OneBoard(CChildConn &conn, CMemBuffDlg &buffer) : m_conn(conn), m_trace(buffer) {}
  const std::vector<WindowId> &GetChildren() const override { return m_children; }
  IBoardWindow *Child(WindowId id) const override { return id == kWnd ? &m_conn : nullptr; }
  WindowId GetActiveChild() const override { return kWnd; }
  ITraceManager *GetTraceManager() const override { return &m_trace; }

  FakeDisplay display;

private:
  struct Buffers : FakeTraceManager {
    explicit Buffers(CMemBuffDlg &w) : buffer(w) { download = kWnd; }
    QWidget *Window() override { return &buffer; }
    void AddBufferWindow(const QString &, const std::array<QString, 6> &labels, const std::array<double, 6> &,
                         const CRequestPacket &packet) override
    {
      buffer.ShowBuffer(labels, 0.1f, 0.0f, packet);
    }
    CMemBuffDlg &buffer;
  };

  CChildConn &m_conn;
  mutable Buffers m_trace;
  std::vector<WindowId> m_children{kWnd};
};

void AnswerOne(RecordingSink &sink, CAnswerRouter &router, Input &in, const Example &example)
{
  std::unique_ptr<CRequestPacket> p = sink.Take();
  if (p && Shape(*p, in, example))
    router.RouteAnswer(*p);
}

void CheckDocument(const CQelDoc &doc)
{
  const int vars = doc.GetVarCount();
  for (std::int16_t v : {doc.GetWinCmdVar(), doc.GetSamplingTimeVar(), doc.GetBufLengthVar()})
    Check(v >= -1 && v < vars);
  for (std::uint16_t v : doc.GetStdVariables())
    Check(v < vars);
  for (const CQelDocContainer::UndoRecord &u : doc.GetUndoList())
    Check(u.index < doc.GetParCount());
  Check(doc.GetParNames().size() == static_cast<std::size_t>(doc.GetParCount()));
}

Example LoadExample()
{
  QFile file(QStringLiteral(VELOTRIX_EXAMPLES_DIR "/demo-small.vtx"));
  if (!file.open(QIODevice::ReadOnly))
    std::abort();
  Example example;
  example.file = file.readAll();
  CQelDoc doc;
  CDocArchive ar = CDocArchive::FromBytes(example.file);
  Check(doc.LoadFromArchive(ar));
  example.identity = doc.GetVersion();
  const QString text = Cp1252::Decode(example.file);
  example.description = text.mid(text.indexOf(u'\n') + 1);
  return example;
}

} // namespace

// The desktop's font library keeps a few blocks of its own until exit.
extern "C" const char *__lsan_default_suppressions()
{
  return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  static int argc = 1;
  static char name[] = "frame_answer_fuzz";
  static char *argv[] = {name, nullptr};
  static QApplication *app = [] {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
      qputenv("QT_QPA_PLATFORM", "offscreen");
    QLoggingCategory::setFilterRules(QStringLiteral("velotrix.*=false"));
    Prompter::SetInstance(std::make_unique<SilentPrompter>());
    return new QApplication(argc, argv);
  }();
  (void)app;
  // No folder to write the library into: a copy attempt fails quietly.
  static CFolderDocHost host(QStringLiteral("/proc/velotrix-fuzz/"));
  static const Example example = LoadExample();
  static CMemBuffDlg *buffer = [] {
    auto *w = new CMemBuffDlg(nullptr);
    w->Create(nullptr);
    return w;
  }();

  Input in(data, size);
  // A loaded document accepts only its own board; an empty one any board,
  // and then takes the description the board uploads.
  CQelDoc doc;
  doc.SetHost(&host);
  if (in.Byte() % 2) {
    CDocArchive ar = CDocArchive::FromBytes(example.file);
    Check(doc.LoadFromArchive(ar));
  }
  RecordingSink sink;
  sink.active = 1;
  g_hInitFrame = kNoWindow;
  CChildConn::ResetLastChangeWord();
  {
    Conn conn(kWnd, &sink);
    conn.SetConnDocument(&doc);
    OneBoard frame(conn, *buffer);
    CAnswerRouter router(frame, frame.display);
    // Each step either asks something of the board or lets it answer.
    for (int steps = 0; steps < 64 && !in.Empty(); ++steps) {
      switch (in.Byte() % 12) {
      case 0:
        conn.RequestGoOnline();
        break;
      case 1:
        conn.OnReadAll();
        break;
      case 2:
        conn.Poll();
        break;
      case 3:
        // The board's request for its K table.
        conn.OnSpecialVariable(doc.GetWinCmdVar(), static_cast<std::int16_t>(in.Byte() % 2 ? 10000 : 0));
        break;
      case 4:
        conn.OnInitDescriptions();
        break;
      case 5:
        conn.OnReset();
        break;
      case 6:
        conn.RequestBufferRead();
        break;
      case 7:
        conn.RequestGoOffline();
        break;
      default:
        AnswerOne(sink, router, in, example);
        break;
      }
      CheckDocument(doc);
    }
    // The rest of the queue, answered as it stands.
    while (!sink.queue.empty())
      AnswerOne(sink, router, in, example);
    CheckDocument(doc);
    conn.SetConnDocument(nullptr);
  }
  Check(g_hInitFrame == kNoWindow);
  return 0;
}
