#include "FakeMainWindow.h"
#include "TestSupport.h"
#include "controls/XColorStatic.h"
#include "frame/PrefsPages.h"
#include "model/generali.h"
#include "platform/StringIds.h"
#include "platform/StringTable.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <optional>

namespace {

// The dialog with its pages on the test profile and a fake main frame.
struct PrefsFixture : ::testing::Test {
  void SetUp() override { previousChooser = CDiag4::SetColorChooser(chooser()); }
  void TearDown() override { CDiag4::SetColorChooser(std::move(previousChooser)); }

  CDiag4::ColorChooser chooser()
  {
    return [this](COLORREF initial, COLORREF *chosen, QWidget *) {
      chooserInitial.push_back(initial);
      if (!chooserAnswer)
        return false;
      *chosen = *chooserAnswer;
      return true;
    };
  }
  void Open()
  {
    set = std::make_unique<CPreferencesSet>(nullptr, main.GetOptions());
    set->dialog.show();
  }
  // Selects a page in the tree as a click would, and lets the switch happen.
  void GoTo(int page)
  {
    set->dialog.Tree()->setCurrentItem(set->dialog.PageItem(page));
    QApplication::processEvents();
    ASSERT_EQ(set->dialog.CurrentPage(), page);
  }
  void ClickSwatch(int i)
  {
    QLabel *s = set->colors.Swatch(i);
    QTest::mouseClick(&set->colors, Qt::LeftButton, {}, s->geometry().center());
  }
  bool Accepted() const { return set->dialog.isHidden() && set->dialog.result() == QDialog::Accepted; }

  TestEnvironment env;
  FakeMainWindow main;
  std::unique_ptr<CPreferencesSet> set;
  std::optional<COLORREF> chooserAnswer;
  std::vector<COLORREF> chooserInitial;
  CDiag4::ColorChooser previousChooser;
};

TEST_F(PrefsFixture, OpensOnTheFirstPageWithTitleAndTree)
{
  Open();
  CZuPrefsDialog &dlg = set->dialog;
  EXPECT_EQ(dlg.windowTitle(), LoadStr(IDS_OPTIONS));
  EXPECT_EQ(dlg.PageCount(), 4);
  EXPECT_EQ(dlg.CurrentPage(), 0);
  EXPECT_EQ(dlg.CaptionBar()->text(), "Serial Com");
  // The bytes BB B6 D3 AD CA B9 D3 C3 as Windows-1252 text.
  EXPECT_EQ(dlg.CaptionBar()->ConstantText(), QString::fromUtf16(u"\u00BB\u00B6\u00D3\u00AD\u00CA\u00B9\u00D3\u00C3"));
  const QStringList names = {"Serial Com", "Graphics", "FileImport", "Colors"};
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(dlg.PageItem(i)->text(0), names[i]);
  EXPECT_TRUE(set->serial.IsCreated());
  EXPECT_FALSE(set->graphics.IsCreated());
  EXPECT_FALSE(dlg.HelpButton()->isEnabled());
  EXPECT_FALSE(dlg.AddPage(&set->graphics, "again")); // the window exists
  // The tree item of the page already shown posts nothing.
  dlg.Tree()->setCurrentItem(dlg.PageItem(1));
  dlg.Tree()->setCurrentItem(dlg.PageItem(0));
  EXPECT_EQ(dlg.PendingSwitches(), 1);
  QApplication::processEvents();
  EXPECT_EQ(dlg.CurrentPage(), 1);
  EXPECT_TRUE(set->graphics.IsCreated());
  dlg.grab(); // the caption bar paints
}

TEST_F(PrefsFixture, OkRightAwayAppliesOnlyTheSerialPage)
{
  Open();
  set->dialog.OkButton()->click();
  EXPECT_TRUE(Accepted());
  EXPECT_EQ(main.CountOf(FakeMainWindow::Call::ApplySerial), 1);
  EXPECT_EQ(main.CountOf(FakeMainWindow::Call::TimerAndTabs), 0);
  EXPECT_EQ(set->serial.Result(), 1);
  EXPECT_EQ(set->graphics.Result(), 0);
}

TEST_F(PrefsFixture, ChangesOnEveryPageReachTheSettings)
{
  Open();
  CDiag1 &serial = set->serial;
  serial.m_pPortEdit->setText("3");
  serial.m_pSpeedCombo->setCurrentIndex(3); // 57600
  serial.m_pTimeoutEdit->setText("500");
  serial.m_pSilentEdit->setText("20");
  serial.m_pRetryEdit->setText("-1"); // a sign arrives as text only
  serial.m_pBeepCheck->setChecked(false);
  GoTo(1);
  set->graphics.m_pCheck[0]->setChecked(false);
  set->graphics.m_pCheck[3]->setChecked(true);
  GoTo(2);
  EXPECT_FALSE(set->fileImport.m_pCheck[0]->isEnabled());
  GoTo(3);
  chooserAnswer = RGB(1, 2, 3);
  ClickSwatch(3); // background of the on-line "equal to default" cell
  EXPECT_EQ(chooserInitial.back(), RGB(255, 255, 128));
  EXPECT_EQ(set->colors.Sample(1)->GetBackgroundColor(), RGB(1, 2, 3));
  set->dialog.OkButton()->click();
  ASSERT_TRUE(Accepted());

  ASSERT_EQ(main.CountOf(FakeMainWindow::Call::TimerAndTabs), 1);
  EXPECT_EQ(main.GetOptions().Start_Timer.Get(), 0);
  EXPECT_EQ(main.CountOf(FakeMainWindow::Call::ApplySerial), 1);
  set.reset();
  main.Reload();
  COptions &o = main.GetOptions();
  EXPECT_EQ(o.com_port.Get(), 3);
  EXPECT_EQ(o.com_speed.Get(), 57600);
  EXPECT_EQ(o.com_timeout.Get(), 500);
  EXPECT_EQ(o.com_silent.Get(), 20);
  EXPECT_EQ(o.com_retry.Get(), -1);
  EXPECT_EQ(o.Beep_on_error.Get(), 0);
  EXPECT_EQ(o.Start_Timer.Get(), 0);
  EXPECT_EQ(o.HideTabsLess2Views.Get(), 1);
  EXPECT_EQ(o.TabsOnTop.Get(), 1);
  EXPECT_EQ(o.SfondoTestoOnlineDef.Get(), RGB(1, 2, 3));
}

TEST_F(PrefsFixture, RefusedValuesKeepTheDialogOpenAndApplyNothing)
{
  Open();
  set->serial.m_pRetryEdit->setText("21");
  set->dialog.OkButton()->click();
  EXPECT_FALSE(set->dialog.isHidden());
  ASSERT_EQ(env.prompter().asked.size(), 1u);
  EXPECT_EQ(env.prompter().asked[0].text, LoadStrFormat(IDS_ENTER_INT_RANGE, -1, 20));

  // A refusal on a page that is hidden now brings that page back.
  set->serial.m_pRetryEdit->setText("2");
  set->serial.m_pPortEdit->setText("abc");
  GoTo(1);
  set->graphics.m_pCheck[1]->setChecked(false);
  set->dialog.OkButton()->click();
  EXPECT_FALSE(set->dialog.isHidden());
  EXPECT_EQ(set->dialog.CurrentPage(), 0);
  EXPECT_EQ(set->dialog.Tree()->currentItem(), set->dialog.PageItem(0));
  EXPECT_EQ(env.prompter().asked.back().text, LoadStr(IDS_ENTER_INT));
  EXPECT_EQ(main.CountOf(FakeMainWindow::Call::ApplySerial) + main.CountOf(FakeMainWindow::Call::TimerAndTabs), 0);
  set->serial.m_pPortEdit->setText("100");
  set->dialog.OkButton()->click();
  EXPECT_EQ(env.prompter().asked.back().text, LoadStrFormat(IDS_ENTER_INT_RANGE, 1, 99));
  EXPECT_EQ(set->graphics.Result(), 0);
  EXPECT_EQ(main.GetOptions().TabsOnTop.Get(), 1);
}

TEST_F(PrefsFixture, DefaultResetsTheCurrentPageOnly)
{
  main.GetOptions().com_port.Set(7);
  main.GetOptions().TabsOnTop.Set(0);
  main.GetOptions().HideTabsLess2Views.Set(1);
  main.GetOptions().ResetWriteIdx2.Set(0);
  Open();
  EXPECT_EQ(set->serial.m_pPortEdit->text(), "7");
  GoTo(1);
  EXPECT_FALSE(set->graphics.m_pCheck[1]->isChecked());
  set->dialog.DefaultButton()->click();
  EXPECT_TRUE(set->graphics.m_pCheck[1]->isChecked());
  EXPECT_FALSE(set->graphics.m_pCheck[3]->isChecked());
  EXPECT_EQ(set->serial.m_pPortEdit->text(), "7");
  GoTo(2);
  EXPECT_FALSE(set->fileImport.m_pCheck[2]->isChecked());
  set->dialog.DefaultButton()->click();
  EXPECT_TRUE(set->fileImport.m_pCheck[2]->isChecked());
  GoTo(0);
  set->dialog.DefaultButton()->click();
  EXPECT_EQ(set->serial.m_pPortEdit->text(), "1");
  EXPECT_EQ(set->serial.m_pSpeedCombo->currentText(), "19200");
  EXPECT_EQ(set->serial.m_pTimeoutEdit->text(), "300");
  set->dialog.OkButton()->click();
  ASSERT_TRUE(Accepted());
  EXPECT_EQ(main.GetOptions().com_port.Get(), 1);
  EXPECT_EQ(main.GetOptions().TabsOnTop.Get(), 1);
  EXPECT_EQ(main.GetOptions().ResetWriteIdx2.Get(), 1);
}

TEST_F(PrefsFixture, CancelKeepsSettingsButNotChosenColours)
{
  Open();
  set->serial.m_pPortEdit->setText("9");
  GoTo(3);
  chooserAnswer = RGB(9, 9, 9);
  ClickSwatch(0);
  // Between swatches nothing opens; a cancelled chooser changes nothing.
  QTest::mouseClick(&set->colors, Qt::LeftButton, {}, QPoint(5, 5));
  chooserAnswer.reset();
  ClickSwatch(17);
  EXPECT_EQ(chooserInitial.size(), 2u);
  set->dialog.CancelButton()->click();
  EXPECT_TRUE(set->dialog.isHidden());
  EXPECT_EQ(set->dialog.result(), IDCANCEL);
  EXPECT_EQ(main.CountOf(FakeMainWindow::Call::ApplySerial), 0);
  set.reset();
  main.Reload();
  EXPECT_EQ(main.GetOptions().com_port.Get(), 1);
  EXPECT_EQ(main.GetOptions().CorpoTestoOfflineDef.Get(), RGB(9, 9, 9));
  EXPECT_EQ(main.GetOptions().SfondoTestoNormale.Get(), RGB(255, 255, 255));
}

TEST_F(PrefsFixture, ColourDefaultsAreLiveAtOnce)
{
  main.GetOptions().CorpoTestoNormale.Set(RGB(10, 20, 30));
  Open();
  GoTo(3);
  EXPECT_EQ(set->colors.Sample(8)->GetTextColor(), RGB(10, 20, 30));
  set->dialog.DefaultButton()->click();
  EXPECT_EQ(main.GetOptions().CorpoTestoNormale.Get(), RGB(0, 0, 0));
  EXPECT_EQ(set->colors.Sample(8)->GetTextColor(), RGB(0, 0, 0));
  set->dialog.CancelButton()->click();
  EXPECT_EQ(main.GetOptions().CorpoTestoNormale.Get(), RGB(0, 0, 0));
}

TEST_F(PrefsFixture, StoredSpeedsMatchingNoEntryAreKept)
{
  main.GetOptions().com_speed.Set(4800);
  Open();
  EXPECT_EQ(set->serial.m_pSpeedCombo->currentIndex(), -1);
  set->dialog.OkButton()->click();
  ASSERT_TRUE(Accepted());
  EXPECT_EQ(main.GetOptions().com_speed.Get(), 4800);

  main.GetOptions().com_speed.Set(1); // begins "19200"
  Open();
  EXPECT_EQ(set->serial.m_pSpeedCombo->currentText(), "19200");
}

TEST_F(PrefsFixture, StatisticsReachThePageOnlyWhileItExists)
{
  Open();
  CDiag1 &serial = set->serial;
  EXPECT_TRUE(serial.StatTimerActive());
  for (QLineEdit *e : serial.m_pStatEdit)
    EXPECT_EQ(e->text(), "*");
  serial.OnStatTimer();
  ASSERT_EQ(main.CountOf(FakeMainWindow::Call::Statistics), 1);
  const WindowId page = main.codes.back().second;
  EXPECT_EQ(page, serial.PageId());
  EXPECT_NE(page, kNoWindow);

  CSerStatistics stats;
  stats.totalErrors = 3;
  stats.correctComms = 1234;
  stats.meanAnswerTimeMs = 12.345;
  EXPECT_TRUE(CDiag1::DeliverStatistics(page, stats));
  EXPECT_EQ(serial.m_pStatEdit[0]->text(), "3");
  EXPECT_EQ(serial.m_pStatEdit[1]->text(), "1234");
  EXPECT_EQ(serial.m_pStatEdit[2]->text(), "12.3");
  stats.totalErrors = 1e30; // nonsense never overflows the display
  stats.correctComms = -7;
  stats.meanAnswerTimeMs = std::numeric_limits<double>::infinity();
  EXPECT_TRUE(CDiag1::DeliverStatistics(page, stats));
  EXPECT_EQ(serial.m_pStatEdit[0]->text(), "4294967295");
  EXPECT_EQ(serial.m_pStatEdit[1]->text(), "0");
  EXPECT_EQ(serial.m_pStatEdit[2]->text(), "0.0");

  serial.m_pResetButton->click();
  EXPECT_EQ(main.CountOf(FakeMainWindow::Call::ResetStatistics), 1);

  const WindowId id = serial.PageId();
  set->dialog.CancelButton()->click();
  set.reset();
  EXPECT_FALSE(CDiag1::DeliverStatistics(id, stats));
  EXPECT_FALSE(CDiag1::DeliverStatistics(kNoWindow, stats));
}

TEST_F(PrefsFixture, PageWindowsEndWithTheDialog)
{
  CDiag1 serial(main.GetOptions());
  CDiag2 graphics(main.GetOptions());
  {
    CZuPrefsDialog dlg;
    // A parent added after its child: the child goes to the top level.
    dlg.AddPage(&graphics, "child", &serial);
    dlg.AddPage(&serial, "parent");
    dlg.show();
    EXPECT_EQ(dlg.PageItem(0)->parent(), nullptr);
    EXPECT_TRUE(graphics.IsCreated());
    dlg.ShowPage(1);
    EXPECT_TRUE(serial.StatTimerActive());
    EXPECT_FALSE(dlg.ShowPage(2));
    EXPECT_FALSE(dlg.ShowPage(-1));
  }
  EXPECT_FALSE(serial.IsCreated());
  EXPECT_FALSE(serial.StatTimerActive());
  EXPECT_EQ(serial.parentWidget(), nullptr);
  serial.OnStatTimer(); // no window: asks nothing
  EXPECT_EQ(main.CountOf(FakeMainWindow::Call::Statistics), 0);
}

TEST_F(PrefsFixture, APageEndedBeforeItsDialogIsSkipped)
{
  CZuPrefsDialog dlg;
  auto serial = std::make_unique<CDiag1>(main.GetOptions());
  CDiag2 graphics(main.GetOptions());
  dlg.AddPage(serial.get(), "Serial Com");
  dlg.AddPage(&graphics, "Graphics");
  dlg.show();
  dlg.ShowPage(1);
  serial.reset();
  EXPECT_EQ(dlg.Page(0), nullptr);
  EXPECT_FALSE(dlg.ShowPage(0));
  dlg.OkButton()->click();
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(main.CountOf(FakeMainWindow::Call::TimerAndTabs), 1);
}

TEST_F(PrefsFixture, EscapeNeverClosesAndEnterPressesOk)
{
  Open();
  QTest::keyClick(&set->dialog, Qt::Key_Escape);
  QTest::keyClick(&set->serial, Qt::Key_Escape);
  QTest::keyClick(set->serial.m_pPortEdit, Qt::Key_Escape);
  EXPECT_FALSE(set->dialog.isHidden());
  EXPECT_EQ(main.CountOf(FakeMainWindow::Call::ApplySerial), 0);
  set->serial.m_pPortEdit->setFocus();
  set->serial.m_pPortEdit->setText("4");
  QTest::keyClick(set->serial.m_pPortEdit, Qt::Key_Return);
  EXPECT_TRUE(Accepted());
  EXPECT_EQ(main.GetOptions().com_port.Get(), 4);
}

TEST_F(PrefsFixture, SerialPageShowsTheDeviceOfThePort)
{
  const bool had = qEnvironmentVariableIsSet("VELOTRIX_SERIAL_DEVICE");
  const QByteArray saved = qgetenv("VELOTRIX_SERIAL_DEVICE");
  qunsetenv("VELOTRIX_SERIAL_DEVICE");
  EXPECT_EQ(CDiag1::DeviceText(3), "/dev/ttyUSB2");
  Open();
  set->serial.m_pPortEdit->setText("2");
  EXPECT_EQ(set->serial.m_pDeviceEdit->text(), "/dev/ttyUSB1");
  EXPECT_TRUE(set->serial.m_pDeviceEdit->isReadOnly());
  set->serial.m_pPortEdit->setText("0");
  EXPECT_EQ(set->serial.m_pDeviceEdit->text(), "");
  qputenv("VELOTRIX_SERIAL_DEVICE", "/tmp/velotrix-board");
  set->serial.m_pPortEdit->setText("5");
  EXPECT_EQ(set->serial.m_pDeviceEdit->text(), "/tmp/velotrix-board");
  if (had)
    qputenv("VELOTRIX_SERIAL_DEVICE", saved);
  else
    qunsetenv("VELOTRIX_SERIAL_DEVICE");
}

TEST_F(PrefsFixture, TheCloseBoxCancelsAndFocusFollowsRefusalsAndPages)
{
  Open();
  EXPECT_EQ(set->dialog.focusWidget(), set->serial.m_pPortEdit) << "a shown page focuses its first control";
  GoTo(1);
  EXPECT_EQ(set->dialog.focusWidget(), set->graphics.m_pCheck[0]);
  GoTo(2); // every control disabled: the page itself
  EXPECT_EQ(set->dialog.focusWidget(), &set->fileImport);
  // A refusal on a hidden page shows it with the focus in the refused field.
  set->serial.m_pRetryEdit->setText("21");
  set->dialog.OkButton()->click();
  ASSERT_EQ(set->dialog.CurrentPage(), 0);
  EXPECT_EQ(set->dialog.focusWidget(), set->serial.m_pRetryEdit);
  EXPECT_EQ(set->serial.m_pRetryEdit->selectedText(), "21");

  set->dialog.close();
  EXPECT_TRUE(set->dialog.isHidden());
  EXPECT_EQ(set->dialog.result(), IDCANCEL);
  EXPECT_EQ(set->serial.Result(), IDCANCEL);
}

TEST_F(PrefsFixture, TheTreeTracksTheHotItemAndDrawsItsLines)
{
  Open();
  CZuPrefsTree *tree = set->dialog.Tree();
  QWidget *area = tree->viewport();
  const QRect row = tree->visualItemRect(set->dialog.PageItem(2));
  const QImage plain = area->grab().toImage();
  const QPoint at = row.center();
  QMouseEvent move(QEvent::MouseMove, at, area->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(area, &move);
  EXPECT_EQ(tree->HotItem(), set->dialog.PageItem(2));
  const QImage hot = area->grab().toImage();
  EXPECT_NE(hot.copy(row), plain.copy(row)) << "the hot item is drawn apart";
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(tree, &leave);
  EXPECT_EQ(tree->HotItem(), nullptr);

  // Dotted lines in the indentation column beside every item.
  const QRgb mid = tree->palette().color(QPalette::Mid).rgb();
  for (int i = 0; i < 4; ++i) {
    const QRect r = tree->visualItemRect(set->dialog.PageItem(i));
    int dots = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = 0; x < tree->indentation(); ++x)
        dots += plain.pixel(x, y) == mid;
    EXPECT_GT(dots, 4) << i;
  }
}

TEST_F(PrefsFixture, SerialComControlsSitWhereTheTemplatePutsThem)
{
  Open();
  const auto DialogUnits = [this](int x, int y, int w, int h) { return set->dialog.Units().Rect(x, y, w, h); };
  QMap<QString, QRect> labels;
  for (const QLabel *l : set->serial.findChildren<QLabel *>())
    labels[l->text()] = l->geometry();
  const struct {
    unsigned id;
    QRect du;
  } places[] = {
      {IDS_PORT, DialogUnits(55, 19, 48, 12)},           {IDS_SPEED, DialogUnits(55, 32, 48, 12)},
      {IDS_TIMEOUT_MS, DialogUnits(55, 45, 48, 12)},     {IDS_SILENT_TIME_MS, DialogUnits(55, 58, 48, 12)},
      {IDS_RETRY_ON_ERROR, DialogUnits(55, 71, 48, 12)}, {IDS_TOTAL_MODBUS_ERROR, DialogUnits(15, 118, 90, 12)},
      {IDS_COMM_CORRETTE, DialogUnits(15, 132, 90, 12)}, {IDS_MEAN_ANSWARE_TIME_MS, DialogUnits(15, 145, 90, 12)}};
  for (const auto &p : places)
    EXPECT_EQ(labels.value(LoadStr(p.id)), p.du) << LoadStr(p.id).toStdString();
  EXPECT_EQ(set->serial.m_pBeepCheck->geometry(), DialogUnits(165, 20, 56, 11));
  EXPECT_EQ(set->serial.m_pStatEdit[1]->geometry(), DialogUnits(107, 131, 46, 12));
}

// What of a control's text the box cuts off, in the font it is drawn with;
// empty when it reads whole.
QString Clipped(QWidget *w)
{
  const QFontMetrics fm(w->font());
  QRect room;
  QRect need;
  QString text;
  if (qobject_cast<CZuPrefsStatic *>(w)) {
    return {}; // the caption bar draws in its own font
  } else if (auto *label = qobject_cast<QLabel *>(w)) {
    text = label->text();
    room = label->contentsRect();
    need = fm.boundingRect(QRect(0, 0, room.width(), 1 << 20), label->wordWrap() ? Qt::TextWordWrap : 0, text);
  } else if (auto *button = qobject_cast<QAbstractButton *>(w)) {
    text = button->text();
    QStyleOptionButton opt;
    opt.initFrom(button);
    opt.text = text;
    const bool check = qobject_cast<QCheckBox *>(w) != nullptr;
    room = w->style()->subElementRect(check ? QStyle::SE_CheckBoxContents : QStyle::SE_PushButtonContents, &opt, w);
    need = QRect(0, 0, fm.horizontalAdvance(text), fm.height());
  } else if (auto *group = qobject_cast<QGroupBox *>(w)) {
    text = group->title();
    room = group->rect();
    need = QRect(QPoint(), group->minimumSizeHint());
  }
  if (text.isEmpty() || (need.width() <= room.width() && need.height() <= room.height()))
    return {};
  return QStringLiteral("\"%1\" needs %2x%3 in %4x%5")
      .arg(text)
      .arg(need.width())
      .arg(need.height())
      .arg(room.width())
      .arg(room.height());
}

// Every text of every page reads whole in both languages, and the dialog
// still fits a 1280 x 800 screen. Buttons and groups follow the language.
TEST_F(PrefsFixture, EveryTextReadsWholeInBothLanguages)
{
  for (const auto language : {StringTable::Language::English, StringTable::Language::Italian}) {
    ASSERT_TRUE(StringTable::Instance().SetLanguage(language, QStringLiteral(VELOTRIX_BIN_DIR "/LangITA11.rcc")));
    Open();
    for (int page = 1; page < 4; ++page)
      GoTo(page);
    QStringList clipped;
    for (QWidget *w : set->dialog.findChildren<QWidget *>())
      if (const QString cut = Clipped(w); !cut.isEmpty())
        clipped << cut;
    EXPECT_TRUE(clipped.isEmpty()) << clipped.join("; ").toStdString();
    EXPECT_LE(set->dialog.width(), 1280);
    EXPECT_LE(set->dialog.height(), 800);
    const bool italian = language == StringTable::Language::Italian;
    EXPECT_EQ(set->dialog.CancelButton()->text(), italian ? "Annulla" : "Cancel");
    QStringList groups;
    for (const QGroupBox *g : set->serial.findChildren<QGroupBox *>())
      groups << g->title();
    EXPECT_EQ(groups.contains("Impostazioni porta COM"), italian) << groups.join(", ").toStdString();
    EXPECT_EQ(groups.contains("COM port settins"), !italian);
    EXPECT_EQ(set->dialog.HelpButton()->text(), italian ? "Aiuto" : "Help");
    set.reset();
  }
}

} // namespace
