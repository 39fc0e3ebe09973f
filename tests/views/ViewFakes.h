#pragma once

#include "model/MainWindowLink.h"
#include "model/QelDoc.h"
#include "controls/XListCtrl.h"
#include "modbus/RequestPacket.h"
#include "platform/Options.h"

#include "views/BitSet.h"
#include "views/ChooseHiLowDlg.h"
#include "views/ListaPar.h"
#include "views/VarListView.h"
#include "views/VarTreeView.h"

#include "FakeDocHost.h"
#include "TestSupport.h"

#include <QApplication>
#include <QPaintEvent>
#include <QRegion>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

// The region the viewport paints while the events of a step are processed.
class PaintSpy : public QObject {
public:
  explicit PaintSpy(QWidget *w) : m_w(w)
  {
    QApplication::processEvents();
    w->installEventFilter(this);
  }
  ~PaintSpy() override { m_w->removeEventFilter(this); }
  QRegion Painted()
  {
    m_painted = QRegion();
    QApplication::processEvents();
    return m_painted;
  }
  bool eventFilter(QObject *o, QEvent *e) override
  {
    if (o == m_w && e->type() == QEvent::Paint)
      m_painted += static_cast<QPaintEvent *>(e)->region();
    return false;
  }

private:
  QWidget *m_w;
  QRegion m_painted;
};

// The main window as the views see it: its settings (column widths 50, 51 ...);
// the serial queue and the folders are a fake document host's.
class FakeMainWindow : public IMainWindow {
public:
  FakeMainWindow()
  {
    host.language = QStringLiteral("en");
    for (int i = 0; i < COptions::kParWidthCount; ++i)
      options.ParWidth.SetAt(i, 50 + i);
    for (int i = 0; i < COptions::kVarWidthCount; ++i)
      options.VarWidth.SetAt(i, 50 + i);
    MainWindowLink::Set(this);
  }
  ~FakeMainWindow() override { MainWindowLink::Set(nullptr); }
  COptions &GetOptions() override { return options; }
  void ApplySerialSettings() override {}
  void RequestStatistics(WindowId) override {}
  void ResetStatistics() override {}
  void ApplyTimerAndTabs() override {}
  QString GetInitializeLanguage() const override { return host.GetInitializeLanguage(); }
  void AddRequest(CRequestPacket *&packet) override { host.AddRequest(packet); }
  void AddHeadRequest(CRequestPacket *&packet) override { host.AddHeadRequest(packet); }
  QString GetProgramFolder() const override { return host.GetProgramFolder(); }
  QString GetUserDataFolder() const override { return host.GetUserDataFolder(); }

  COptions options;
  FakeDocHost host;
};

// The child frame: records online writes.
class FakeAnswerWindow : public IDocAnswerWindow {
public:
  struct Write {
    std::int16_t index;
    double value;
    bool marked;
  };
  WindowId GetAnswerWindowId() const override { return 42; }
  void WriteParameterOnline(std::int16_t index, double value, bool marked) override
  {
    writes.push_back({index, value, marked});
  }
  void OnDescriptionLoaded() override {}
  std::vector<Write> writes;
};

// A document window's four views over one document, shown offscreen.
class ViewsFixture : public ::testing::Test {
protected:
  void SetUp() override
  {
    doc.SetHost(&main);
    doc.SetAnswerWindow(&answer);
    // No test ever waits on a real dialog: unscripted ones are cancelled.
    CBitSet::SetModalHook([](CBitSet &) { return int(IDCANCEL); });
    CChooseHiLowDlg::SetModalHook([](CChooseHiLowDlg &) { return int(IDCANCEL); });
  }
  void TearDown() override
  {
    CBitSet::SetModalHook({});
    CChooseHiLowDlg::SetModalHook({});
  }

  // Loads an example and makes the views.
  void Open(const char *example = "demo-full.vtx", int level = 3)
  {
    main.options.VisLevel.Set(level);
    ASSERT_TRUE(doc.OnOpenDocument(ExamplePath(QString::fromLatin1(example))));
    MakeViews();
  }
  // Loads a description text (a header is put in front) and makes the views.
  void OpenText(const QString &body, int level = 3)
  {
    main.options.VisLevel.Set(level);
    const QString path = main.host.program + QStringLiteral("test.vtx");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(("#Norv tembrano v1.1\r\n" + body).toLatin1());
    f.close();
    ASSERT_TRUE(doc.OnOpenDocument(path));
    MakeViews();
  }
  void MakeViews()
  {
    parList = std::make_unique<CParListView>();
    parTree = std::make_unique<CParTreeView>();
    varTree = std::make_unique<CVarTreeView>();
    varList = std::make_unique<CVarListView>();
    int x = 0;
    for (QWidget *w : std::initializer_list<QWidget *>{parTree.get(), parList.get(), varTree.get(), varList.get()}) {
      w->setGeometry(x, 0, x == 0 || x == 1200 ? 200 : 1000, 700);
      x += x == 0 || x == 1200 ? 200 : 1000;
      w->show();
    }
    for (CView *v : std::initializer_list<CView *>{parList.get(), parTree.get(), varTree.get(), varList.get()}) {
      doc.AddView(v);
      v->OnInitialUpdate();
    }
    QApplication::processEvents();
  }

  CXListCtrl *List() const { return parList->GetListCtrl(); }
  std::int16_t Par(const char *name) const
  {
    std::int16_t i = -1;
    EXPECT_TRUE(doc.FindParByName(i, QString::fromLatin1(name))) << name;
    return i;
  }
  std::int16_t Var(const char *name) const
  {
    std::int16_t i = -1;
    EXPECT_TRUE(doc.FindVarByName(i, QString::fromLatin1(name))) << name;
    return i;
  }
  // Selects a block in the parameter tree as a click would.
  void SelectBlock(int block)
  {
    QTreeWidgetItem *item = parTree->ItemOfKey(-block);
    ASSERT_NE(item, nullptr) << block;
    parTree->setCurrentItem(item);
  }
  // The row of a parameter in the list, or -1.
  int RowOf(std::int16_t par) const { return parList->FindRowByFirstColumn(QString::asprintf("%4d", par)); }
  // The screen point at the middle of a list row's cell.
  QPoint ParRowPoint(int row, int col = 3) const
  {
    QRect r;
    List()->GetSubItemRect(row, col, xl::LVIR_BOUNDS, r);
    return List()->ClientToScreen(r.center());
  }

  TestEnvironment env;
  FakeMainWindow main;
  FakeAnswerWindow answer;
  CQelDoc doc;
  std::unique_ptr<CParListView> parList;
  std::unique_ptr<CParTreeView> parTree;
  std::unique_ptr<CVarTreeView> varTree;
  std::unique_ptr<CVarListView> varList;
};
