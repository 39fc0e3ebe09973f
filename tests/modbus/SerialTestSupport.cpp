#include "SerialTestSupport.h"

#include "TestSupport.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

BoardSimProcess::BoardSimProcess(const QStringList &arguments)
{
  m_process.setProgram(QStringLiteral(VELOTRIX_BIN_DIR "/boardsim"));
  m_process.setArguments(arguments);
  m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  m_process.start();
  if (!m_process.waitForStarted(3000))
    return;
  if (WaitForLine(QStringLiteral("PTY "), 3000)) {
    for (const QString &line : m_lines)
      if (line.startsWith(QStringLiteral("PTY ")))
        m_device = line.mid(4).trimmed();
  }
}

BoardSimProcess::~BoardSimProcess()
{
  if (m_process.state() == QProcess::NotRunning)
    return;
  if (!m_inputClosed) {
    m_process.write("quit\n");
    if (m_process.waitForFinished(1000))
      return;
  }
  m_process.kill();
  m_process.waitForFinished(1000);
}

void BoardSimProcess::CloseInput()
{
  m_process.closeWriteChannel();
  m_inputClosed = true;
}

bool BoardSimProcess::ReadSome(int timeoutMs)
{
  if (m_process.bytesAvailable() == 0 && !m_process.waitForReadyRead(timeoutMs))
    return false;
  m_partial += QString::fromLocal8Bit(m_process.readAllStandardOutput());
  qsizetype nl = 0;
  while ((nl = m_partial.indexOf(u'\n')) >= 0) {
    m_lines << m_partial.left(nl);
    m_partial.remove(0, nl + 1);
  }
  return true;
}

bool BoardSimProcess::WaitForLine(const QString &prefix, int timeoutMs)
{
  QElapsedTimer timer;
  timer.start();
  for (;;) {
    for (const QString &line : m_lines)
      if (line.startsWith(prefix))
        return true;
    const qint64 left = timeoutMs - timer.elapsed();
    if (left <= 0 || m_process.state() == QProcess::NotRunning)
      return false;
    ReadSome(static_cast<int>(left));
  }
}

bool BoardSimProcess::Command(const QString &line, QString *answer)
{
  const qsizetype seen = m_lines.size();
  m_process.write((line + u'\n').toLocal8Bit());
  m_process.waitForBytesWritten(1000);
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < 3000) {
    for (qsizetype i = seen; i < m_lines.size(); ++i) {
      const QString &l = m_lines[i];
      if (l.startsWith(QStringLiteral("OK")) || l.startsWith(QStringLiteral("ERR"))) {
        if (answer)
          *answer = l;
        return l.startsWith(QStringLiteral("OK"));
      }
    }
    if (m_process.state() == QProcess::NotRunning)
      return false;
    ReadSome(100);
  }
  return false;
}

long BoardSimProcess::Requests()
{
  QString answer;
  if (!Command(QStringLiteral("requests"), &answer))
    return -1;
  bool ok = false;
  const long n = answer.section(u' ', 2, 2).toLong(&ok);
  return ok ? n : -1;
}

bool BoardSimProcess::WaitForExit(int timeoutMs)
{
  return m_process.waitForFinished(timeoutMs);
}

ManagerFixture::ManagerFixture(const QString &device, int timeoutMs, int retries, int silentMs, int speed)
    : m_manager(std::make_unique<CSerManager>(kNoWindow))
{
  m_manager->SetNotify([this](unsigned code, long argument) {
    std::lock_guard lock(m_lock);
    m_notes.emplace_back(code, argument);
  });
  m_manager->SetCommParam(1, speed, 2, timeoutMs, silentMs, retries, 0);
  m_manager->SetDevicePath(device);
  m_manager->CreateThread(0, 0, nullptr, 0xFFFFFFFF);
}

ManagerFixture::~ManagerFixture()
{
  m_manager.reset(); // its worker still notifies while it stops
}

std::unique_ptr<CRequestPacket> ManagerFixture::Exchange(CRequestPacket *pkt, int timeoutMs)
{
  m_manager->AddRequest(pkt);
  return WaitAnswer(timeoutMs);
}

std::unique_ptr<CRequestPacket> ManagerFixture::WaitAnswer(int timeoutMs)
{
  CRequestPacket *answer = nullptr;
  WaitFor([&] { return (answer = m_manager->GetAnsware()) != nullptr; }, timeoutMs);
  return std::unique_ptr<CRequestPacket>(answer);
}

CRequestPacket ManagerFixture::Ask(CRequestPacket *pkt, int timeoutMs)
{
  const std::unique_ptr<CRequestPacket> answer = Exchange(pkt, timeoutMs);
  if (answer)
    return *answer;
  ADD_FAILURE() << "no answer within " << timeoutMs << " ms";
  CRequestPacket none;
  none.error = 0xFFFF;
  return none;
}

std::vector<std::pair<unsigned, long>> ManagerFixture::Notes()
{
  std::lock_guard lock(m_lock);
  return m_notes;
}

CRequestPacket *MakeRead(uint16_t kind, uint16_t first, uint16_t count, uint8_t slave)
{
  auto *p = new CRequestPacket(kNoWindow, slave, kind);
  if (kind == REQ_READ_VARS) {
    p->PktType.var.first_var = first;
    p->PktType.var.num_var = count;
  } else {
    p->PktType.par.first_par = first;
    p->PktType.par.num_par = count;
  }
  return p;
}

CRequestPacket *MakeWrite(uint16_t kind, uint16_t first, const std::vector<uint16_t> &words, uint8_t slave)
{
  CRequestPacket *p = MakeRead(kind, first, static_cast<uint16_t>(words.size()), slave);
  p->wData = words;
  return p;
}
