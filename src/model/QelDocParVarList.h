#pragma once

#include "Blocchi.h"
#include "Parametri.h"
#include "QelDocLanguage.h"
#include "Variabili.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class CDescLine;

// The board's machine description inside the document: blocks, parameters,
// variables, the K and N tables and the unit names, the register address
// maps, and the link rules between parameters and their targets.
class CQelDocParVarList : public CQelDocLanguage {
  Q_OBJECT
public:
  // Register addresses are 0..MaxAddress-1; a map entry of NoItem is empty.
  static constexpr int MaxAddress = 10000;
  static constexpr std::uint16_t NoItem = 0xFFFF;

  explicit CQelDocParVarList(QObject *parent = nullptr);

  // Empties records, tables and maps; the unit names stay until the next "U" line.
  void DeleteContents() override;

  // Description lines. Table lines without '=' are refused (false) and leave
  // the table as it was. The line parsers give true when they made a record.
  bool ParseKTable(QStringView line);
  bool ParseNTable(QStringView line);
  bool ParseUnits(QStringView line);
  bool ParseBlockLine(QStringView line, QString *name = nullptr, std::uint8_t *number = nullptr,
                      std::uint8_t *parent = nullptr, std::uint8_t *attribute = nullptr);
  // What an item line's "b" past the blocks loaded does. A missing, zero or
  // negative "b" (down to -32768) stands for block 1 under either rule.
  enum class BlockRule {
    Block1,         // the item goes to block 1
    RefuseUnloaded, // the line is refused: its block was refused or never sent
  };
  // "p", "l" and "f" lines, by the line's first letter.
  bool ParseParameterLine(QStringView line, QString *name = nullptr, BlockRule rule = BlockRule::Block1);
  // "v", "w" and "y" lines, by the line's first letter.
  bool ParseVariableLine(QStringView line, int *index = nullptr, QString *name = nullptr, int *block = nullptr,
                         BlockRule rule = BlockRule::Block1);
  // Any of the lines above, chosen by the first character; blanks (spaces)
  // are taken out of "N" and "U" lines first. The one reader of these lines
  // for files, board uploads and tools alike: an item whose block is not
  // loaded is refused (BlockRule::RefuseUnloaded).
  bool ParseDescLine(QStringView line);

  // Each appends its lines, every one ended by "\r\n".
  void SerializeKTable(QString &out) const;
  void SerializeNTable(QString &out) const;
  void SerializeUnits(QString &out) const;
  void SerializeBlocks(QString &out) const; // from block 1; entry 0 is not written
  void SerializeParameters(QString &out) const;
  void SerializeVariables(QString &out) const;

  int GetParCount() const { return static_cast<int>(m_Parametri.size()); }
  int GetVarCount() const { return static_cast<int>(m_Variabili.size()); }
  const std::vector<Parametri> &GetParameters() const { return m_Parametri; }
  std::vector<Parametri> &GetParameters() { return m_Parametri; }
  const std::vector<Variabili> &GetVariables() const { return m_Variabili; }
  std::vector<Variabili> &GetVariables() { return m_Variabili; }
  // Entry 0 stands for no block; block n is entry n.
  const std::vector<Blocchi> &GetBlocks() const { return m_Blocchi; }
  std::vector<Blocchi> &GetBlocks() { return m_Blocchi; }
  int GetBlockCount() const { return static_cast<int>(m_Blocchi.size()); }
  // Parameters or variables of one storage type read so far.
  int GetParCountOfType(std::uint32_t storageType) const;
  int GetVarCountOfType(std::uint32_t storageType) const;
  // par0, the board's command register: the first 16-bit parameter, after
  // the floats and the 32-bit ones; -1 when the document has none there.
  int GetCommandParIndex() const;

  bool HasTables() const { return m_bTables; }
  bool HasBlocks() const { return m_bBlocks; }
  bool HasParameters() const { return m_bParameters; }
  bool HasVariables() const { return m_bVariables; }

  const KTable &GetKTable() const { return *m_pKTable; }
  const NTable &GetNTable() const { return *m_pNTable; }
  KTablePtr GetKTablePtr() const { return m_pKTable; }
  NTablePtr GetNTablePtr() const { return m_pNTable; }
  const QStringList &GetUnits() const { return m_Units; }
  int GetUnitCount() const { return static_cast<int>(m_Units.size()); }
  bool IsUnitValid(int unit) const { return unit >= 0 && unit < m_Units.size(); }
  // The unit's name; empty for an index that names no unit.
  QString GetUnitName(int unit) const;

  // Every parameter's SI mirrors again (after the K table changed).
  void UpdateAllSiValues();
  // Board values for one table entry; indexes outside the table are ignored.
  void SetKEntry(int i, std::int16_t v);
  void SetNEntry(int i, std::uint32_t bits);

  // The item at a register address, -1 for none or an address out of range.
  std::int16_t VarIndexFromAddress(int address) const;
  std::int16_t ParIndexFromAddress(int address) const;
  // "<base>_<position>" to the variable at that address.
  bool VarIndexFromKeyText(const QString &text, std::int16_t &index) const;
  // "<base>_<position>" (digits on both sides) to an address 0..9999.
  static bool AddressFromKeyText(QStringView text, int *address);

  // The target of a link parameter's selected value, -1 for none.
  std::int16_t GetLinkedVarIndex(int par, int selector) const;
  std::int16_t GetLinkedParIndex(int par, int selector) const;
  // Whether the item at address suits the link's storage type. Relaxed
  // (strict false) also accepts either register of a 32-bit or float variable.
  bool CheckLinkTarget(int par, int address, bool strict) const;
  bool IsLinkValid(int par, int selector, bool strict) const;

  // Texts of link values (names, address keys, or the number or an error text).
  QString GetParText(int par, int selector, bool useMessage) const;
  QString GetParTextParLink(int par, int selector, bool useMessage) const;
  QString GetVarTextAtAddress(int par, int address, bool useMessage) const;
  QString GetParTextAtAddress(int par, int address, bool useMessage) const;
  QString GetLinkValueText(int par, bool useMessage, int selector) const;
  QString GetLinkText(int par, int selector) const;
  QString GetLinkSiText(int par, int selector) const;

  // A typed value for parameter par. A link takes "<base>_<position>" of a
  // fitting target: out := its address, true. Any other parameter: out :=
  // the text as a number, false.
  bool SetParFromText(int par, const QString &text, double *out) const;

  // Sorts indexes[lo..hi] (parameter indexes) by register address.
  void SortParIndexes(std::vector<std::uint16_t> &indexes, int lo, int hi, bool ascending) const;

  void Dump() const;

protected:
  const Parametri *ParAt(int par) const;
  // The selected value of a parameter as a whole number; -1 when not finite.
  int SelectedAddress(const Parametri &p, int selector) const;
  // Steps of a parameter or variable line: checks and fields, then the
  // address map and counters once its record is appended.
  bool ReadItemLine(QStringView line, bool parameter, BlockRule rule, CDescLine &d, std::uint32_t &type, ItemFields &f);
  bool ReadItemKeys(const CDescLine &d, bool floatParameter, std::uint32_t type, ItemFields &f) const;
  void EnterItem(bool parameter, std::uint32_t type, const ItemFields &f);
  void SortRange(std::vector<std::uint16_t> &indexes, int lo, int hi, bool ascending) const;

  std::array<std::uint16_t, MaxAddress> m_VarMap;
  std::array<std::uint16_t, MaxAddress> m_ParMap;
  std::vector<Parametri> m_Parametri;
  std::vector<Variabili> m_Variabili;
  std::vector<Blocchi> m_Blocchi;
  bool m_bTables = false;
  // Shared with every record; refilled and edited in place, never replaced.
  std::shared_ptr<KTable> m_pKTable;
  std::shared_ptr<NTable> m_pNTable;
  QStringList m_Units;
  bool m_bBlocks = false;
  bool m_bParameters = false;
  bool m_bVariables = false;
  std::uint16_t m_nParFloat = 0;
  std::uint16_t m_nParLong = 0;
  std::uint16_t m_nParShort = 0;
  std::uint16_t m_nVarFloat = 0;
  std::uint16_t m_nVarLong = 0;
  std::uint16_t m_nVarShort = 0;
};
