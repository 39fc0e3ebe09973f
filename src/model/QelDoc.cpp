#include "QelDoc.h"

#include "generali.h"

#include "modbus/RequestPacket.h"
#include "platform/Launcher.h"
#include "platform/StringIds.h"
#include "platform/Trace.h"

#include <QProcess>

CQelDoc::CQelDoc(QObject *parent) : CQelDocFileImport(parent), m_strHelpTopic(LoadStr(IDS_DEFAULT_TOPIC)) {}

QString CQelDoc::ShowManual()
{
  const QString topic = m_strHelpTopic;
  if (topic.isEmpty() || m_strManualPath.isEmpty())
    return topic;
  qCDebug(lcModel, "HELP %s", qUtf8Printable(topic));
  // A viewer that takes a named destination: "program [arguments]", where
  // %f stands for the file and %d for the destination; without them the
  // arguments of SumatraPDF follow. Split into a list, never run by a shell.
  QStringList words = QProcess::splitCommand(qEnvironmentVariable(PdfViewerVariable));
  if (words.isEmpty()) {
    // The desktop's handler opens the file at its first page.
    Launcher::Instance().Open(m_strManualPath);
    return topic;
  }
  const QString program = words.takeFirst();
  bool placeholders = false;
  for (QString &w : words) {
    if (w.contains(QStringLiteral("%f")) || w.contains(QStringLiteral("%d"))) {
      placeholders = true;
      w.replace(QStringLiteral("%f"), m_strManualPath).replace(QStringLiteral("%d"), topic);
    }
  }
  if (!placeholders)
    words << m_strManualPath << QStringLiteral("-reuse-instance") << QStringLiteral("-nameddest") << topic;
  Launcher::Instance().StartProgram(program, words);
  return topic;
}

void CQelDoc::RequestSwSetRead()
{
  if (!IsOnline() || m_nSwSetPar == 0)
    return;
  std::unique_ptr<CRequestPacket> packet = NewReadRequest(static_cast<std::uint16_t>(m_nSwSetPar));
  if (!packet || !m_pHost)
    return;
  // Part of a board command: the board's word is taken as it is.
  packet->PktType.par.refresh = 0;
  // Pending only once the read is really on its way.
  MarkResetPending();
  CRequestPacket *raw = packet.release();
  m_pHost->AddHeadRequest(raw);
  delete raw; // null once the queue took it
}
