#pragma once

#include "model/DocViewLinks.h"
#include "platform/ColorRef.h"

#include <QPoint>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <span>

class COptions;
class CQelDoc;
class CQelDocContainer;
class IMainWindow;

// What the four views of a document share: the main window's settings, and
// the drag record and rows-changed flags the document keeps for
// them. GUI thread only.
namespace views {

// View update hints and the command carried in the low bits.
enum : long {
  HINT_VAR_LIST = DocHint::VarList,
  HINT_VAR_TREE = DocHint::VarTree,
  HINT_PAR_LIST = DocHint::ParList,
  HINT_PAR_TREE = DocHint::ParTree,
  HINT_VIEW_BITS = DocHint::Views,
  HINT_SAVE_WIDTHS = DocHint::SaveWidths,
  HINT_DRAG_START = DocHint::DragStart,
  HINT_REOPEN = DocHint::Reopen,
};

// The main window's settings, or null when no main window is registered.
COptions *Options();
// "VisLevel"; 0 without a main window.
int VisLevel();
// The column widths of the parameter list (11) and the variable list (10) in
// the settings, each kept within 10..1000 both ways; false without a main
// window (the widths are then left as they are).
enum class WidthList { Par, Var };
bool ReadWidths(WidthList list, std::span<int> widths);
bool StoreWidths(WidthList list, std::span<const int> widths);

// A text colour on a background.
struct ColorPair {
  COLORREF text = 0x000000;
  COLORREF back = 0xFFFFFF;
  bool operator==(const ColorPair &) const = default;
};
// The colour pairs of the settings, by the common end of their names.
enum class Pair { OfflineDef, Offline, OnlineDef, Online1, ConDipend, Trascinato, TrascConDip, Normale };
// The pair from the settings; black on white without a main window.
ColorPair GetPair(Pair pair);

// The drag record in the document: the dragged variable, the drop targets,
// the drag point in screen coordinates and the two drag flags.
namespace drag {
enum : std::int16_t { NO_TARGET = -1, NO_ROW = -2, OVER_VAR_LIST = -3 };
std::int16_t Variable(const CQelDocContainer &doc);
void SetVariable(CQelDocContainer &doc, std::int16_t var);
std::int16_t TargetPar(const CQelDocContainer &doc);
void SetTargetPar(CQelDocContainer &doc, std::int16_t par);
std::int16_t TargetRow(const CQelDocContainer &doc);
void SetTargetRow(CQelDocContainer &doc, std::int16_t row);
QPoint Point(const CQelDocContainer &doc);
void SetPoint(CQelDocContainer &doc, QPoint screen);
// Read by the trees and the parameter list.
bool Active(const CQelDocContainer &doc);
// Read by the variable list.
bool ActiveOverVarList(const CQelDocContainer &doc);
void SetActive(CQelDocContainer &doc, bool active);
} // namespace drag

// The names of the bits of an item: the texts of "<name>#0" up to the
// highest named bit (empty where a bit has none); one empty name when no
// bit has one.
QStringList CollectBitNames(const CQelDocContainer &doc, const QString &nameText);

// F1: opens the manual at the document's help topic.
void ShowHelp(CQelDoc *doc);

} // namespace views
