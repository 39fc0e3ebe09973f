// list_bench: fills a list control with 2000 rows of 11 coloured cells and
// repaints its visible rows, as a large parameter list does. Prints the
// figures and asserts nothing; run by hand (a Release build gives meaningful
// figures), e.g. QT_QPA_PLATFORM=offscreen build/release/bin/list_bench [rows].

#include "controls/XListCtrl.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace xl;

int main(int argc, char **argv)
{
  QApplication app(argc, argv);
  const int rows = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
  constexpr int kColumns = 11;
  constexpr int kRepaints = 10;

  CXListCtrl list;
  list.resize(1000, 700);
  list.SetExtendedStyle(LVS_EX_FULLROWSELECT);
  list.InsertColumn(0, QStringLiteral("A"), LVCFMT_LEFT, 100);
  list.InsertColumn(1, QStringLiteral("B"), LVCFMT_RIGHT, 120);
  list.InsertColumn(2, QStringLiteral("C"), LVCFMT_CENTER, 100);
  for (int c = 3; c < kColumns; ++c)
    list.InsertColumn(c, QStringLiteral("Col %1").arg(c), LVCFMT_RIGHT, 80);
  list.show();
  QApplication::processEvents();

  QElapsedTimer clock;
  clock.start();
  list.LockWindowUpdate();
  for (int r = 0; r < rows; ++r) {
    list.InsertItem(r, QString::asprintf("%4d", r));
    for (int c = 1; c < kColumns; ++c)
      list.SetItemText(r, c, QString::number(r * kColumns + c), RGB(r % 256, c * 20, 0), RGB(255, 255, 255 - c));
  }
  list.UnlockWindowUpdate();
  const qint64 fillNs = clock.nsecsElapsed();
  QApplication::processEvents();

  clock.restart();
  for (int i = 0; i < kRepaints; ++i)
    list.viewport()->repaint();
  const qint64 paintNs = clock.nsecsElapsed() / kRepaints;

  std::printf("fill %d x %d: %.2f ms (%.2f us a row)\n", list.GetItemCount(), kColumns, fillNs / 1e6,
              fillNs / 1e3 / rows);
  std::printf("repaint of %d visible rows: %.2f ms\n", list.GetCountPerPage(), paintNs / 1e6);
  return 0;
}
