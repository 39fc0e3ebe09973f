#include "SerManager.h"

#include "BoardProtocol.h"
#include "RequestPacket.h"
#include "SerCodes.h"

#include "platform/Cp1252.h"
#include "platform/Format.h"
#include "platform/Trace.h"

#include <QByteArray>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <cerrno>
#include <thread>

#include <fcntl.h>
#include <modbus.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
namespace bp = BoardProtocol;

constexpr int kMaxReadRegisters = 125;  // Modbus limit of functions 03 and 04
constexpr int kMaxWriteRegisters = 123; // Modbus limit of function 16

bool IsStandardSpeed(int speed)
{
  static constexpr int kSpeeds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400};
  return std::find(std::begin(kSpeeds), std::end(kSpeeds), speed) != std::end(kSpeeds);
}

// One character on the wire: start bit, 8 data bits, parity or second stop
// bit, stop bit (Modbus over serial line, 2.5.1).
double CharTimeMs(int speed)
{
  return 11000.0 / speed;
}

const char *ExceptionName(int code)
{
  switch (code) {
  case 1:
    return "illegal function";
  case 2:
    return "illegal data address";
  case 3:
    return "illegal data value";
  case 4:
    return "slave device failure";
  case 5:
    return "acknowledge";
  case 6:
    return "slave device busy";
  case 8:
    return "memory parity error";
  case 10:
    return "gateway path unavailable";
  case 11:
    return "gateway target failed to respond";
  default:
    return "unknown exception";
  }
}

// Functions 06 and 16 with the answer checked against the request: libmodbus
// takes any answer of the right function and length, so a board that confirms
// another register, count or value would pass for a done write.
int WriteChecked(modbus_t *ctx, int slave, uint16_t address, const uint16_t *values, int count, bool single)
{
  uint8_t req[MODBUS_RTU_MAX_ADU_LENGTH];
  int n = 0;
  req[n++] = static_cast<uint8_t>(slave);
  req[n++] = single ? 0x06 : 0x10;
  req[n++] = static_cast<uint8_t>(address >> 8);
  req[n++] = static_cast<uint8_t>(address & 0xFF);
  if (single) {
    req[n++] = static_cast<uint8_t>(values[0] >> 8);
    req[n++] = static_cast<uint8_t>(values[0] & 0xFF);
  } else {
    req[n++] = static_cast<uint8_t>(count >> 8);
    req[n++] = static_cast<uint8_t>(count & 0xFF);
    req[n++] = static_cast<uint8_t>(count * 2);
    for (int i = 0; i < count; ++i) {
      req[n++] = static_cast<uint8_t>(values[i] >> 8);
      req[n++] = static_cast<uint8_t>(values[i] & 0xFF);
    }
  }
  if (modbus_send_raw_request(ctx, req, n) < 0)
    return -1;
  uint8_t rsp[MODBUS_RTU_MAX_ADU_LENGTH];
  const int length = modbus_receive_confirmation(ctx, rsp); // CRC checked, CRC included
  if (length < 0)
    return -1;
  if (length == 5 && rsp[0] == req[0] && rsp[1] == (req[1] | 0x80)) {
    errno = rsp[2] >= 1 && rsp[2] <= 11 ? MODBUS_ENOBASE + rsp[2] : EMBBADEXC;
    return -1;
  }
  // The answer repeats slave, function, address and the value or the count.
  if (length != 8 || std::memcmp(rsp, req, 6) != 0) {
    errno = length > 0 && rsp[0] != req[0] ? EMBBADSLAVE : EMBBADDATA;
    return -1;
  }
  return count;
}

bool IsLinkGone(int err)
{
  return err == EIO || err == ENXIO || err == ENODEV || err == EBADF || err == ECONNRESET || err == EPIPE ||
         err == EHOSTDOWN;
}

} // namespace

// The libmodbus side of the manager; every member runs on the worker thread.
class CSerManager::Worker {
public:
  explicit Worker(CSerManager &owner) : m_owner(owner) {}
  ~Worker() { Close(); }

  void Process(CRequestPacket &p);
  void Close();

private:
  // One exchange: fills its results and returns libmodbus style (-1 with errno).
  using Exchange = std::function<int(modbus_t *)>;
  // Reads registers into the given words, libmodbus style.
  using WordRead = std::function<int(modbus_t *, uint16_t *)>;

  bool HandleWithoutBus(CRequestPacket &p);
  void Transact(CRequestPacket &p);
  void ReadWords(CRequestPacket &p, int count, const WordRead &read);
  void ReadIdentity(CRequestPacket &p);
  void ReadDescription(CRequestPacket &p);
  bool Validate(CRequestPacket &p);
  bool EnsureOpen(CRequestPacket &p);
  bool Run(CRequestPacket &p, const Exchange &exchange);
  bool ReadTransfer(CRequestPacket &p, uint16_t command, uint16_t argument, bool text, uint32_t maxTotal,
                    unsigned progressBase, std::vector<uint16_t> *words, uint32_t *total);
  bool ReadText(CRequestPacket &p, uint16_t command, uint16_t argument, unsigned progressBase, QString *text);
  bool ReadTrace(CRequestPacket &p);
  bool ReadKTable(CRequestPacket &p);
  void Fail(CRequestPacket &p, uint16_t code, const QString &text);
  // The request was cancelled by its window: it fails (and goes unanswered).
  bool Cancelled(CRequestPacket &p);
  void WaitSilent();
  void Drain(int windowMs);

  CSerManager &m_owner;
  Settings m_settings;
  modbus_t *m_ctx = nullptr;
  unsigned m_openGeneration = ~0u;
  QString m_device;
  Clock::time_point m_lastFrameEnd{};
  CSerStatistics m_stats;
  double m_answerTimeSumMs = 0;
};

CSerManager::CSerManager(WindowId frame) : CGenericServer(frame), m_worker(std::make_unique<Worker>(*this)) {}

CSerManager::~CSerManager()
{
  m_stopRequest = 1;
  StopAndWait();
  m_worker.reset(); // closes the port if EndWork did not run
  FreeAll();
}

void CSerManager::SetCommParam(uint8_t port, int32_t speed, uint8_t stopBits, int timeoutMs, int silentMs, int retries,
                               int beepOnError)
{
  std::lock_guard lock(m_settingsLock);
  Settings &s = m_settings;
  s.port = std::max<int>(1, port);
  if (IsStandardSpeed(speed)) {
    s.speed = speed;
  } else {
    qCWarning(lcModbus) << "SetCommParam: speed" << speed << "is not a standard speed; 19200 used";
    s.speed = 19200;
  }
  s.stopBits = stopBits == 1 ? 1 : 2;
  // The settings store takes any number: one below its range is a mistake,
  // and its default serves the board better than the nearest legal value.
  const Settings defaults;
  if (timeoutMs < 1) {
    qCWarning(lcModbus) << "SetCommParam: time-out" << timeoutMs << "ms is below 1;" << defaults.timeoutMs << "used";
    timeoutMs = defaults.timeoutMs;
  }
  if (silentMs < 0) {
    qCWarning(lcModbus) << "SetCommParam: silent time" << silentMs << "ms is below 0;" << defaults.silentMs << "used";
    silentMs = defaults.silentMs;
  }
  if (retries < -1) {
    qCWarning(lcModbus) << "SetCommParam: retries" << retries << "is below -1;" << defaults.retries << "used";
    retries = defaults.retries;
  }
  s.timeoutMs = std::min(timeoutMs, 60000);
  s.silentMs = std::min(silentMs, 1000);
  s.retries = std::clamp(retries, 0, 20); // -1: no retry
  s.beep = beepOnError != 0;
  ++s.generation;
}

void CSerManager::SetDevicePath(const QString &path)
{
  std::lock_guard lock(m_settingsLock);
  m_settings.device = path;
  ++m_settings.generation;
}

QString CSerManager::DevicePath() const
{
  const Settings s = CurrentSettings();
  if (!s.device.isEmpty())
    return s.device;
  const QString env = qEnvironmentVariable("VELOTRIX_SERIAL_DEVICE");
  if (!env.isEmpty())
    return env;
  return DeviceForPort(s.port);
}

QString CSerManager::DeviceForPort(int port)
{
  return QStringLiteral("/dev/ttyUSB%1").arg(std::max(1, port) - 1);
}

CSerManager::Settings CSerManager::CurrentSettings() const
{
  std::lock_guard lock(m_settingsLock);
  return m_settings;
}

void CSerManager::DoWork()
{
  // One packet per wake-up, so a stop request is seen between packets.
  CRequestPacket *p = TakeRequest();
  if (!p)
    return;
  if (!m_stopRequest)
    m_worker->Process(*p);
  else
    p->error = kSerErrStopped;
  // Before the answer is out: what its window queues once it sees the
  // failure (a go-offline, a new go-online) must stay.
  if (p->error != kSerOk)
    if (const int dropped = DropFollowersOfFailed(p->hWnd))
      qCDebug(lcModbus) << "request" << p->message << "failed:" << dropped << "waiting requests of its window dropped";
  PutAnswer(p);
  if (GetReqPktListSize() > 0)
    SetWorkEvent();
}

void CSerManager::EndWork()
{
  m_worker->Close();
}

// ---- worker side --------------------------------------------------------

void CSerManager::Worker::Close()
{
  if (!m_ctx)
    return;
  // The flag belongs to the terminal, not to our descriptor: a terminal that
  // someone else keeps open (a pty's other end) would stay barred after we close.
  ioctl(modbus_get_socket(m_ctx), TIOCNXCL);
  modbus_close(m_ctx);
  modbus_free(m_ctx);
  m_ctx = nullptr;
  m_owner.m_portOpen = 0;
  m_owner.Notify(kSerPortClosed, 0);
}

bool CSerManager::Worker::Cancelled(CRequestPacket &p)
{
  if (!m_owner.CurrentCancelled())
    return false;
  // Asked for, so no link error: no beep, no error count. The packet is
  // freed unanswered.
  p.error = kSerErrStopped;
  p.strVersion = QStringLiteral("Request cancelled");
  qCDebug(lcModbus) << "request" << p.message << "slave" << p.slave << "cancelled";
  return true;
}

void CSerManager::Worker::Fail(CRequestPacket &p, uint16_t code, const QString &text)
{
  p.error = code;
  p.strVersion = text;
  qCDebug(lcModbus) << "request" << p.message << "slave" << p.slave << "failed:" << text;
  m_owner.Notify(kSerLinkError, code);
  if (m_settings.beep)
    m_owner.Notify(kSerBeep, code);
}

bool CSerManager::Worker::Validate(CRequestPacket &p)
{
  if (p.slave == 0 || p.slave > 247) {
    Fail(p, kSerErrBadSlave, vtx::Format(u"Invalid slave address %d", p.slave));
    return false;
  }
  const auto &par = p.PktType.par;
  const auto &var = p.PktType.var;
  bool ok = true;
  switch (p.message) {
  case REQ_WRITE_ONE:
    ok = par.first_par < bp::kRegisterLimit && !p.wData.empty();
    break;
  case REQ_READ_ONE:
    ok = par.first_par < bp::kRegisterLimit;
    break;
  case REQ_READ_BLOCK:
    ok = par.num_par >= 1 && par.num_par <= kMaxReadRegisters && par.first_par + par.num_par <= bp::kRegisterLimit;
    break;
  case REQ_WRITE_BLOCK:
    ok = par.num_par >= 1 && par.num_par <= kMaxWriteRegisters && par.first_par + par.num_par <= bp::kRegisterLimit &&
         p.wData.size() >= par.num_par;
    break;
  case REQ_READ_VARS:
    ok = var.num_var >= 1 && var.num_var <= kMaxReadRegisters && var.first_var + var.num_var <= bp::kRegisterLimit;
    break;
  case REQ_READ_TRACE:
    ok = p.trace_width_reg < bp::kRegisterLimit && p.trace_length_reg < bp::kRegisterLimit;
    break;
  default:
    break;
  }
  if (!ok)
    Fail(p, kSerErrBadRequest,
         vtx::Format(u"Invalid request %d: register %d, count %d", p.message,
                     p.message == REQ_READ_VARS ? var.first_var : par.first_par,
                     p.message == REQ_READ_VARS ? var.num_var : par.num_par));
  return ok;
}

bool CSerManager::Worker::EnsureOpen(CRequestPacket &p)
{
  if (m_ctx && m_openGeneration == m_settings.generation)
    return true;
  Close();
  m_device = m_owner.DevicePath();
  const QByteArray device = m_device.toLocal8Bit();
  modbus_t *ctx = modbus_new_rtu(device.constData(), m_settings.speed, 'N', 8, m_settings.stopBits);
  if (!ctx) {
    Fail(p, kSerErrPortOpen, vtx::Format(u"Cannot use serial port %s", m_device));
    return false;
  }
  if (modbus_connect(ctx) != 0) {
    const int err = errno;
    modbus_free(ctx);
    if (err == ENOENT || err == ENODEV || err == ENXIO)
      Fail(p, kSerErrPortMissing, vtx::Format(u"Serial port %s not found", m_device));
    else if (err == EBUSY)
      Fail(p, kSerErrPortBusy, vtx::Format(u"Serial port %s is in use by another program", m_device));
    else
      Fail(p, kSerErrPortOpen,
           vtx::Format(u"Cannot open serial port %s: %s", m_device, QString::fromLocal8Bit(strerror(err))));
    return false;
  }
  // Exclusive use: TIOCEXCL keeps other opens out (not root's), the lock is
  // what another supervisor checks.
  const int fd = modbus_get_socket(ctx);
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    modbus_close(ctx);
    modbus_free(ctx);
    Fail(p, kSerErrPortBusy, vtx::Format(u"Serial port %s is in use by another program", m_device));
    return false;
  }
  ioctl(fd, TIOCEXCL);
  const int timeoutMs = m_settings.timeoutMs;
  modbus_set_response_timeout(ctx, timeoutMs / 1000, (timeoutMs % 1000) * 1000);
  // Between bytes of one frame: generous for USB adapters, never above the time-out.
  const int byteMs = std::min(timeoutMs, std::max(50, static_cast<int>(CharTimeMs(m_settings.speed) * 8)));
  modbus_set_byte_timeout(ctx, byteMs / 1000, (byteMs % 1000) * 1000);
  modbus_set_error_recovery(ctx, MODBUS_ERROR_RECOVERY_NONE);
  m_ctx = ctx;
  m_openGeneration = m_settings.generation;
  m_lastFrameEnd = Clock::now();
  m_owner.m_portOpen = 1;
  m_owner.Notify(kSerPortOpened, 0);
  return true;
}

// The silent time is the pause between the end of one frame and the next
// request; the default 16 ms is more than the 3.5 characters that end a frame
// at every speed offered (Modbus over serial line, 2.5.1.1). 0 means none,
// which suits pseudo-terminals.
void CSerManager::Worker::WaitSilent()
{
  if (m_settings.silentMs <= 0)
    return;
  const auto until = m_lastFrameEnd + std::chrono::milliseconds(m_settings.silentMs);
  const auto now = Clock::now();
  if (until > now)
    std::this_thread::sleep_for(until - now);
}

// Reads and drops whatever arrives within the window, so a late answer cannot
// be taken for the answer of the next request.
void CSerManager::Worker::Drain(int windowMs)
{
  if (!m_ctx)
    return;
  const int fd = modbus_get_socket(m_ctx);
  const auto until = Clock::now() + std::chrono::milliseconds(windowMs);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    if (left <= 0 || m_owner.m_stopRequest)
      break;
    pollfd pfd{fd, POLLIN, 0};
    const int rc = poll(&pfd, 1, static_cast<int>(std::min<long long>(left, 50)));
    if (rc < 0 && errno != EINTR)
      break;
    if (rc > 0) {
      if (pfd.revents & (POLLERR | POLLHUP | POLLNVAL))
        break;
      char buf[256];
      if (read(fd, buf, sizeof buf) <= 0)
        break;
    }
  }
  tcflush(fd, TCIFLUSH);
}

bool CSerManager::Worker::Run(CRequestPacket &p, const Exchange &exchange)
{
  const int attempts = m_settings.retries + 1;
  uint16_t code = kSerErrTimeout;
  QString what;
  bool timedOut = false;
  for (int attempt = 0; attempt < attempts; ++attempt) {
    if (m_owner.m_stopRequest) {
      Fail(p, kSerErrStopped, QStringLiteral("Serial link stopped"));
      return false;
    }
    // Before every exchange, retries included: a board that stopped
    // answering would otherwise hold a cancel up for every retry.
    if (Cancelled(p))
      return false;
    if (!EnsureOpen(p))
      return false;
    if (attempt > 0) {
      m_stats.retries += 1;
      m_owner.Notify(kSerRetry, attempt);
    }
    WaitSilent();
    // Again after the wait, which can be long: a request given up meanwhile
    // (a write all stopped) must not reach the board.
    if (Cancelled(p))
      return false;
    // Whatever came in since the last frame answers nothing we are asking now.
    tcflush(modbus_get_socket(m_ctx), TCIFLUSH);
    modbus_set_slave(m_ctx, p.slave);
    const auto start = Clock::now();
    errno = 0;
    const int rc = exchange(m_ctx);
    const int err = errno;
    m_lastFrameEnd = Clock::now();
    if (rc >= 0) {
      const double ms = std::chrono::duration<double, std::milli>(m_lastFrameEnd - start).count();
      m_stats.correctComms += 1;
      m_answerTimeSumMs += ms;
      m_stats.meanAnswerTimeMs = m_answerTimeSumMs / m_stats.correctComms;
      // After a time-out the answer taken may be the late one of an earlier
      // attempt; the board's answer to this attempt is then still on its way
      // and must not be read as the answer of the next request.
      if (timedOut)
        Drain(m_settings.timeoutMs);
      return true;
    }
    m_stats.totalErrors += 1;
    if (err >= MODBUS_ENOBASE + 1 && err <= MODBUS_ENOBASE + 11) {
      // The board has answered: repeating would get the same exception.
      m_stats.exceptions += 1;
      const int exception = err - MODBUS_ENOBASE;
      Fail(p, kSerErrException,
           vtx::Format(u"Slave %d answered with exception %d (%s)", p.slave, exception, ExceptionName(exception)));
      return false;
    }
    if (err == ETIMEDOUT) {
      timedOut = true;
      m_stats.timeouts += 1;
      code = kSerErrTimeout;
      what = vtx::Format(u"No answer from slave %d", p.slave);
      Drain(m_settings.timeoutMs);
    } else if (err == EMBBADCRC) {
      m_stats.crcErrors += 1;
      code = kSerErrCrc;
      what = vtx::Format(u"Bad CRC in the answer of slave %d", p.slave);
      Drain(std::max(20, static_cast<int>(CharTimeMs(m_settings.speed) * 8)));
    } else if (IsLinkGone(err)) {
      code = kSerErrLinkLost;
      what = vtx::Format(u"Serial port %s lost", m_device);
      Close();
    } else {
      code = kSerErrMalformed;
      what = vtx::Format(u"Malformed answer from slave %d", p.slave);
      Drain(std::max(20, static_cast<int>(CharTimeMs(m_settings.speed) * 8)));
    }
    qCDebug(lcModbus) << "attempt" << attempt + 1 << "of" << attempts << "failed:" << what;
  }
  Fail(p, code, what);
  return false;
}

// Pages of the transfer area into *words; *total is the answer's total (bytes
// for texts, entries or words otherwise). A page that disagrees with the
// first is malformed: the whole request fails, nothing partial is kept.
bool CSerManager::Worker::ReadTransfer(CRequestPacket &p, uint16_t command, uint16_t argument, bool text,
                                       uint32_t maxTotal, unsigned progressBase, std::vector<uint16_t> *words,
                                       uint32_t *total)
{
  words->clear();
  uint32_t first = 0;
  uint32_t wanted = 1; // words, known after page 0
  uint32_t pages = 1;
  for (uint16_t page = 0; page == 0 || words->size() < wanted; ++page) {
    uint16_t answer[bp::kTransferReadCount];
    uint32_t pageTotal = 0;
    const uint16_t request[bp::kTransferWriteCount] = {command, page, argument};
    const bool ok = Run(p, [&](modbus_t *ctx) {
      const int rc = modbus_write_and_read_registers(ctx, bp::kTransferWrite, bp::kTransferWriteCount, request,
                                                     bp::kTransferRead, bp::kTransferReadCount, answer);
      if (rc < 0)
        return rc;
      pageTotal = answer[2] | (static_cast<uint32_t>(answer[3]) << 16);
      if (rc != bp::kTransferReadCount || answer[0] != command || answer[1] != page || answer[4] > bp::kPageWords) {
        errno = EMBBADDATA;
        return -1;
      }
      return rc;
    });
    if (!ok) {
      if (progressBase)
        m_owner.Notify(progressBase + 3, 0);
      return false;
    }
    const uint32_t unitWords = text ? (pageTotal + 1) / 2 : pageTotal;
    if (page == 0) {
      first = pageTotal;
      if (first > maxTotal) {
        Fail(p, kSerErrMalformed, vtx::Format(u"Answer of slave %d too long (%u)", p.slave, first));
        if (progressBase)
          m_owner.Notify(progressBase + 3, 0);
        return false;
      }
      wanted = unitWords;
      pages = std::max<uint32_t>(1, (wanted + bp::kPageWords - 1) / bp::kPageWords);
      if (progressBase)
        m_owner.Notify(progressBase, pages);
    }
    const uint32_t expect = std::min<uint32_t>(bp::kPageWords, wanted - words->size());
    if (pageTotal != first || answer[4] != expect) {
      Fail(p, kSerErrMalformed, vtx::Format(u"Inconsistent page %d from slave %d", page, p.slave));
      if (progressBase)
        m_owner.Notify(progressBase + 3, 0);
      return false;
    }
    words->insert(words->end(), answer + bp::kPageHeader, answer + bp::kPageHeader + expect);
    if (progressBase)
      m_owner.Notify(progressBase + 1, page + 1);
    if (wanted == 0)
      break;
  }
  *total = first;
  if (progressBase)
    m_owner.Notify(progressBase + 2, 0);
  return true;
}

bool CSerManager::Worker::ReadText(CRequestPacket &p, uint16_t command, uint16_t argument, unsigned progressBase,
                                   QString *text)
{
  std::vector<uint16_t> words;
  uint32_t bytes = 0;
  if (!ReadTransfer(p, command, argument, true, bp::kMaxTextBytes, progressBase, &words, &bytes))
    return false;
  QByteArray raw;
  raw.reserve(static_cast<qsizetype>(bytes));
  for (uint32_t i = 0; i < bytes; ++i) {
    const uint16_t w = words[i / 2];
    raw.append(static_cast<char>(i % 2 == 0 ? w >> 8 : w & 0xFF));
  }
  *text = Cp1252::Decode(raw);
  return true;
}

bool CSerManager::Worker::ReadKTable(CRequestPacket &p)
{
  std::vector<uint16_t> k;
  uint32_t entries = 0;
  if (!ReadTransfer(p, bp::kCmdKTable, 0, false, bp::kMaxTableEntries, 0, &k, &entries))
    return false;
  std::vector<float> n;
  if (p.k_mode == KTableMode::WithN && p.num_k > 0) {
    std::vector<uint16_t> words;
    uint32_t count = 0;
    if (!ReadTransfer(p, bp::kCmdNTable, 0, false, bp::kMaxTableEntries * 2, 0, &words, &count))
      return false;
    if (count % 2 != 0) {
      Fail(p, kSerErrMalformed, vtx::Format(u"Odd N table from slave %d", p.slave));
      return false;
    }
    const size_t take = std::min<size_t>(count / 2, static_cast<size_t>(p.num_k));
    for (size_t i = 0; i < take; ++i)
      n.push_back(WordsToFloat(words[2 * i + 1], words[2 * i]));
  }
  p.wAnsData = std::move(k);
  p.fAnsNTable = std::move(n);
  return true;
}

bool CSerManager::Worker::ReadTrace(CRequestPacket &p)
{
  uint16_t tracks = 0;
  uint16_t samples = 0;
  if (!Run(p, [&](modbus_t *ctx) { return modbus_read_input_registers(ctx, p.trace_width_reg, 1, &tracks); }) ||
      !Run(p, [&](modbus_t *ctx) { return modbus_read_input_registers(ctx, p.trace_length_reg, 1, &samples); }))
    return false;
  if (tracks > bp::kMaxTraceTracks || samples > bp::kMaxTraceSamples) {
    Fail(p, kSerErrMalformed,
         vtx::Format(u"Invalid trace buffer size %d x %d from slave %d", tracks, samples, p.slave));
    return false;
  }
  std::vector<uint16_t> words;
  uint32_t total = 0;
  if (!ReadTransfer(p, bp::kCmdTrace, 0, false, bp::kMaxTraceTracks * bp::kMaxTraceSamples, kSerTraceStart, &words,
                    &total))
    return false;
  if (total != static_cast<uint32_t>(tracks) * samples) {
    Fail(p, kSerErrMalformed,
         vtx::Format(u"Trace buffer of slave %d holds %u words, not %d x %d", p.slave, total, tracks, samples));
    return false;
  }
  p.trace_tracks = tracks;
  p.trace_samples = samples;
  p.wAnsData = std::move(words);
  p.message = ANS_READ_TRACE;
  return true;
}

void CSerManager::Worker::Process(CRequestPacket &p)
{
  m_settings = m_owner.CurrentSettings();
  p.error = kSerOk;
  if (HandleWithoutBus(p) || !Validate(p))
    return;
  Transact(p);
}

// The requests answered without a frame on the line, and unknown kinds.
bool CSerManager::Worker::HandleWithoutBus(CRequestPacket &p)
{
  switch (p.message) {
  case REQ_IDLE:
    // No board is online or connecting: give the port back.
    Close();
    return true;
  case REQ_STATISTICS:
    p.stat_record = m_stats;
    return true;
  case REQ_RESET_STATISTICS:
    m_stats = {};
    m_answerTimeSumMs = 0;
    return true;
  case REQ_GO_OFFLINE:
    return true;
  case REQ_DESCRIPTION:
  case REQ_WRITE_ONE:
  case REQ_READ_ONE:
  case REQ_READ_BLOCK:
  case REQ_WRITE_BLOCK:
  case REQ_K_TABLE:
  case REQ_READ_VARS:
  case REQ_GO_ONLINE:
  case REQ_READ_TRACE:
    return false;
  default:
    Fail(p, kSerErrBadRequest, vtx::Format(u"Unknown request kind %d", p.message));
    return true;
  }
}

// Reads count registers through read; the packet keeps them only on success.
void CSerManager::Worker::ReadWords(CRequestPacket &p, int count, const WordRead &read)
{
  std::vector<uint16_t> words(count);
  if (Run(p, [&](modbus_t *ctx) { return read(ctx, words.data()); }))
    p.wAnsData = std::move(words);
}

void CSerManager::Worker::ReadIdentity(CRequestPacket &p)
{
  QString version;
  QString languages;
  if (ReadText(p, bp::kCmdIdentity, 0, 0, &version) && ReadText(p, bp::kCmdLanguages, 0, 0, &languages)) {
    p.strVersion = version;
    p.strLanguages = languages;
  }
}

void CSerManager::Worker::ReadDescription(CRequestPacket &p)
{
  QString text;
  if (ReadText(p, bp::kCmdDescription, p.language, kSerProgressStart, &text)) {
    p.strVersion = text;
    p.message = ANS_DESCRIPTION;
  }
}

// One validated request that talks to the board.
void CSerManager::Worker::Transact(CRequestPacket &p)
{
  auto &par = p.PktType.par;
  auto &var = p.PktType.var;
  switch (p.message) {
  case REQ_WRITE_ONE:
    Run(p, [&](modbus_t *ctx) { return WriteChecked(ctx, p.slave, par.first_par, p.wData.data(), 1, true); });
    break;
  case REQ_READ_ONE:
    ReadWords(p, 1, [&](modbus_t *ctx, uint16_t *to) { return modbus_read_registers(ctx, par.first_par, 1, to); });
    break;
  case REQ_READ_BLOCK:
    ReadWords(p, par.num_par,
              [&](modbus_t *ctx, uint16_t *to) { return modbus_read_registers(ctx, par.first_par, par.num_par, to); });
    break;
  case REQ_WRITE_BLOCK:
    Run(p,
        [&](modbus_t *ctx) { return WriteChecked(ctx, p.slave, par.first_par, p.wData.data(), par.num_par, false); });
    break;
  case REQ_READ_VARS:
    ReadWords(p, var.num_var, [&](modbus_t *ctx, uint16_t *to) {
      return modbus_read_input_registers(ctx, var.first_var, var.num_var, to);
    });
    break;
  case REQ_GO_ONLINE:
    ReadIdentity(p);
    break;
  case REQ_DESCRIPTION:
    ReadDescription(p);
    break;
  case REQ_K_TABLE:
    ReadKTable(p);
    break;
  case REQ_READ_TRACE:
    ReadTrace(p);
    break;
  default:
    break;
  }
}
