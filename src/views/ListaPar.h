#pragma once

#include "controls/XListCommon.h"
#include "controls/XListView.h"
#include "model/DocViewLinks.h"
#include "platform/ColorRef.h"

#include <QPoint>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class CQelDoc;
class Parametri;

// The parameters of the block selected in the parameter tree, one row each:
// index, address key, type code, name, unit, SI and internal value, old,
// default, minimum and maximum. Values are edited in place (number, bit
// text, named value, link by name or address key) and go to the document;
// cells take their colours from the parameter's state. GUI thread only.
class CParListView : public CXListView, public IDocParList {
  Q_OBJECT
public:
  static constexpr int kColumns = 11;
  // Columns of the values.
  enum { COL_INDEX = 0, COL_KEY, COL_TYPE, COL_NAME, COL_UNIT, COL_SI, COL_UI, COL_OLD, COL_DEFAULT, COL_MIN, COL_MAX };
  // Command ids of the two context-menu items.
  static int LoadDefaultCommand();
  static int LoadOldCommand();

  explicit CParListView(QWidget *parent = nullptr);
  ~CParListView() override;

  CQelDoc *GetDocument() const;

  void OnUpdate(CView *pSender, long lHint, QObject *pHint) override;
  void FillList() override;
  // In place, with what a full refill would leave: the other rows untouched,
  // the selection and focus cleared. A changed row set takes the full refill.
  void RefillRows(const std::vector<std::uint16_t> &pars) override;
  void RecolorAll() override;
  int FindRowByFirstColumn(const QString &text) const override;

  // The text of a value cell (columns 5 to 10).
  void FormatCell(std::int16_t nPar, int nRow, int nCol, bool bSI, QString &text) const;
  // The named values of an enumeration parameter.
  std::unique_ptr<QStringList> BuildComboList(std::int16_t nPar) const;
  void SaveColumnWidths();
  void GetCellColors(int nHotRow, int nRow, int nCol, COLORREF *pText, COLORREF *pBack) const;
  // The type code of column 2.
  static QString TypeCode(const Parametri &p);

  // Handlers of the list's notices (public so that the frame and tests can
  // drive them as the list does).
  int OnEndLabelEdit(int nItem, int nSubItem);
  void OnClick(int nItem, int nSubItem);
  void OnRClick(int nItem, int nSubItem, QPoint ptClient);
  // True when the command was one of the two menu commands.
  bool OnCommand(int id);
  int OnHelpKey(int nKey, unsigned nFlags);
  bool IsConnected() const;

  const std::vector<std::int16_t> &GetParIndexes() const { return m_vParIndex; }
  const std::array<int, kColumns> &GetColWidths() const { return m_nColWidth; }
  int GetReopenItem() const { return m_nReopenItem; }
  int GetReopenSubItem() const { return m_nReopenSubItem; }
  std::int16_t GetMenuPar() const { return m_nMenuPar; }

protected:
  void InitListCtrl(CXListCtrl *pList) override;

private:
  // Recolours all cells of one row for the drag hot-tracking.
  void RecolorRow(int nHotRow, int nRow);
  void SetValueCell(int nRow, int nCol);
  // Writes every cell of a row: a new one, or one under an in-place refill.
  void FillRow(int nRow, bool inPlace);
  void RefreshEditedRow(int nRow);
  void FreeComboLists();
  // The rows show the parameters of the last fill, in its order.
  bool RowsAsFilled() const;
  void TrackDrag(CQelDoc *doc);
  // The parameter of a row, or -1.
  std::int16_t ParOfRow(int nRow) const;

  bool WriteBitText(std::int16_t p, const QString &text);
  bool WriteVarLinkByName(std::int16_t p, const QString &text);
  bool WriteParLinkByName(std::int16_t p, const QString &text);
  bool WriteNamedValue(std::int16_t p, int nRow, const QString &text);
  bool WriteSiNumber(std::int16_t p, const QString &text);
  bool WriteInternal(std::int16_t p, const QString &text);
  bool WriteZeroLink(std::int16_t p);

  std::array<int, kColumns> m_nColWidth{};
  bool m_bDragging = false;
  int m_nReopenSubItem = 2;
  int m_nReopenItem = 0;
  std::vector<std::int16_t> m_vParIndex;
  std::vector<std::int16_t> m_vFilledPars;                 // the parameters of the rows, as last filled
  std::vector<std::unique_ptr<QStringList>> m_vComboLists; // per row; enumerations only
  std::int16_t m_nMenuPar = -1;
  CImageList m_HeaderImages;
};
