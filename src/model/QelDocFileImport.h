#pragma once

#include "QelDocContainer.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

// The layer of the board document that imports the parameter values of an
// older document file of the same kind of board, or compares them with the
// document's, matching parameters and link targets by name, and ends with an
// RTF report opened in the desktop's viewer. GUI thread only.
class CQelDocFileImport : public CQelDocContainer {
  Q_OBJECT
public:
  // Kind of an import record.
  enum : std::int32_t {
    IMPORT_MATCHED = 0,   // the old line was matched and understood
    IMPORT_BAD_VALUE = 1, // matched, but the old value is not a finite number
    IMPORT_UNMATCHED = 2, // no usable old line (or link target)
  };

  // One per document parameter, in parameter index order.
  struct ImportRecord {
    double current = 0;  // board value before the import (the float itself)
    double imported = 0; // old value, or for a link the new target's address
    std::int32_t kind = IMPORT_UNMATCHED;
    QString description; // links: text of the current target
    QString note;        // links: name of the old target; values: what was stored instead
    bool selected = false;
  };

  // How the report ended.
  enum class ReportStatus {
    Opened,       // written and handed to the viewer
    ViewerFailed, // written, but no viewer took it (the file stays)
    NotWritten,   // not written; the user was told and no viewer started
  };

  using Clock = std::function<QDateTime()>;

  static constexpr const char *HeaderV10 = "#Norv tembrano v1.0";

  explicit CQelDocFileImport(QObject *parent = nullptr);

  // Imports (compare false) or compares (compare true) the document file
  // that ar reads; oldFilePath names it in the report. An import sets every
  // value it matched offline; both write the report and open it.
  ReportStatus ImportFile(CDocArchive &ar, bool compare, const QString &oldFilePath);

  // For repeatable reports: the clock of the report's date and time, and
  // the folder of the report files (empty: the system's temporary folder).
  void SetClock(Clock clock) { m_Clock = std::move(clock); }
  void SetTempFolder(const QString &folder) { m_strTempFolder = folder; }
  QString GetTempFolder() const;
  // The report file of the last import or compare; empty when none was written.
  const QString &GetLastReportPath() const { return m_strLastReport; }

  // Equal, or both finite and differing by at most 1e-05 of the larger magnitude.
  static bool NearlyEqual(double a, double b);

protected:
  void ResetImport();
  void SnapshotParameters();
  void ReadOldFile(CDocArchive &ar);
  void MatchOldLines();
  void ApplyImport();
  QString BuildReport(bool compare, const QString &oldFilePath) const;
  ReportStatus OpenReport(const QString &text);

  const std::vector<ImportRecord> &GetImportRecords() const { return m_ImportRecords; }

private:
  void MapOldLine(const QString &line, bool parameter, bool wide);
  void MatchPlain(int par, double value);
  void MarkBadValue(int par, const QString &valueText);
  bool AcceptsLinkTarget(int par, int address) const;
  int OldLinkLine(int par, int v, bool byNumber, int *oldAddress) const;
  void MatchLink(int par, int v, bool byNumber);
  static QString StoredNote(const Parametri &p, double read);
  QString Table(int table, bool compare) const;
  std::int16_t FindLastVarByName(const QString &name) const;
  std::int16_t FindLastParByName(const QString &name) const;

  std::vector<ImportRecord> m_ImportRecords;
  QStringList m_OldVars;                  // every variable line, in file order
  QStringList m_OldPars;                  // every parameter line, in file order
  std::vector<int> m_OldVarAddress;       // register address of each old variable line, -1 unmapped
  std::vector<int> m_OldParAddress;       // the same for the old parameter lines
  std::vector<long long> m_OldBlockBases; // 10 x "b=" of each block line, -1 without one
  std::array<std::uint16_t, MaxAddress> m_OldVarMap{};
  std::array<std::uint16_t, MaxAddress> m_OldParMap{};
  QString m_strOldVersion;
  QString m_strOldHeader;
  Clock m_Clock;
  QString m_strTempFolder;
  QString m_strLastReport;
};
