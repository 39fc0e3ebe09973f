#pragma once

#include "BoardGenerator.h"

#include "model/DocFrameLinks.h"
#include "model/QelDoc.h"
#include "platform/Cp1252.h"

#include "FakeDocHost.h"
#include "TestSupport.h"

#include <QFile>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

// A PDF printer at a given resolution; a custom page (millimetres, no
// margins) when a size is given.
inline std::unique_ptr<QPrinter> MakePdfPrinter(const QString &file, int dpi = 300, QSizeF pageMm = {})
{
  auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  printer->setOutputFormat(QPrinter::PdfFormat);
  printer->setOutputFileName(file);
  printer->setResolution(dpi);
  if (pageMm.isValid())
    printer->setPageSize(QPageSize(pageMm, QPageSize::Millimeter));
  printer->setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
  return printer;
}

// The text of a PDF by pdftotext in layout mode; pages are ended by '\f'.
// Empty when the tool is missing or fails.
inline QString PdfText(const QString &pdf)
{
  const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
  if (tool.isEmpty())
    return {};
  QProcess p;
  p.start(tool, {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
  if (!p.waitForFinished(60000) || p.exitCode() != 0)
    return {};
  return QString::fromUtf8(p.readAllStandardOutput());
}

inline bool HavePdfToText()
{
  return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty();
}

// A generated board document loaded from a temporary file.
class GeneratedBoard {
public:
  explicit GeneratedBoard(int parameters, const QString &fileName = QStringLiteral("large.vtx")) : host(dir.path())
  {
    host.language = QStringLiteral("en");
    DescShape shape;
    shape.parameters = parameters;
    shape.variables = 200;
    shape.blocks = std::max(10, (parameters + 19) / 20);
    path = dir.filePath(fileName);
    QFile f(path);
    const QByteArray bytes = Cp1252::Encode(GenerateDocument(shape));
    loaded = f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    f.close();
    doc.SetHost(&host);
    loaded = loaded && doc.OnOpenDocument(path) && doc.GetParCount() == parameters;
    // Opening leaves the path to the caller, as the document template does.
    doc.SetPathName(path);
  }

  QTemporaryDir dir;
  FakeDocHost host;
  QString path;
  CQelDoc doc;
  bool loaded = false;
};
