#include "SimBoard.h"

SimBoard::SimBoard(const QStringList &arguments)
{
  m_process.setProgram(QStringLiteral(VELOTRIX_BOARDSIM));
  m_process.setArguments(arguments);
  m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  m_process.start();
  QByteArray out;
  while (m_process.waitForReadyRead(5000)) {
    out += m_process.readAllStandardOutput();
    const qsizetype at = out.indexOf("PTY ");
    const qsizetype nl = out.indexOf('\n', at);
    if (at >= 0 && nl > at) {
      m_device = QString::fromLocal8Bit(out.mid(at + 4, nl - at - 4)).trimmed();
      break;
    }
  }
}

SimBoard::~SimBoard()
{
  m_process.write("quit\n");
  if (!m_process.waitForFinished(2000))
    m_process.kill();
}

long SimBoard::Requests()
{
  m_process.write("requests\n");
  QByteArray out;
  while (m_process.waitForReadyRead(5000)) {
    out += m_process.readAllStandardOutput();
    const qsizetype at = out.lastIndexOf("OK requests ");
    const qsizetype nl = out.indexOf('\n', at);
    if (at >= 0 && nl > at)
      return out.mid(at + 12, nl - at - 12).trimmed().toLong();
  }
  return -1;
}
