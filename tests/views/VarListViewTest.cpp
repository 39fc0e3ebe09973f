#include "ViewFakes.h"

#include "views/ViewState.h"

#include <QPushButton>
#include <QTest>

namespace {

class VarList : public ViewsFixture {
protected:
  QStringList RowTexts(int row) const
  {
    QStringList texts;
    for (int col = 0; col < CVarListView::kColumns; ++col)
      texts << varList->GetItemText(row, col);
    return texts;
  }
  views::ColorPair Colors(int row, int col = 3) const
  {
    views::ColorPair c;
    EXPECT_TRUE(varList->GetCellColors(row, col, c.text, c.back));
    return c;
  }
  // Ends a watch-row edit with the text, as the cell editor reports it.
  void Type(int row, int col, const QString &text)
  {
    CEditListView::LV_DISPINFO info;
    info.iItem = row;
    info.iSubItem = col;
    info.hasText = true;
    info.pszText = text;
    varList->OnEndLabelEdit(info);
  }
  // A poll answer for a row, as the child frame writes it.
  void Poll(int row, const QString &si, const QString &ui, float raw = 0)
  {
    VarRowRecord &r = doc.GetVarRows()[static_cast<std::size_t>(row)];
    r.hasValue = 1;
    r.refresh = static_cast<std::uint8_t>((r.refresh + 1) % 10);
    r.raw = raw;
    r.value = raw;
    r.siText = si;
    r.uiText = ui;
    doc.GetVarListView()->InvalidateRow(row);
  }
  QPoint CellPoint(int row, int col) const
  {
    int x = 0;
    for (int c = 0; c < col; ++c)
      x += varList->GetColumnWidth(c);
    return QPoint(x + 3, varList->GetItemRect(row).center().y());
  }
};

} // namespace

TEST_F(VarList, RowsTextsAndCounterFromPolls)
{
  Open("demo-full.vtx", 2);
  EXPECT_EQ(varList->GetColumnWidth(0), 0);
  EXPECT_EQ(varList->GetColumnWidth(3), 53);
  EXPECT_EQ(varList->GetColumnWidth(7), 20);
  EXPECT_EQ(doc.GetVarListView(), varList.get());
  // Six watch rows ("L = 2;3;4;1;7;8;") and five of the six standard variables.
  ASSERT_EQ(varList->GetItemCount(), 11);
  EXPECT_EQ(RowTexts(0), QStringList({"2", "20_0", "I", "speed_actual", "rpm", "*.*", "*", "0"}));
  EXPECT_EQ(RowTexts(3), QStringList({"1", "10_2", "L", "pos_actual", "", "*.*", "*", "0"}));
  EXPECT_EQ(varList->GetItemText(6, 3), "warning_flag");
  EXPECT_EQ(varList->GetItemText(10, 3), "pos_actual");
  EXPECT_EQ(varList->GetItemText(6, 2), "I");

  Poll(0, QStringLiteral("1500"), QStringLiteral("1500"));
  EXPECT_EQ(RowTexts(0).mid(5), QStringList({"1500", "1500", "1"}));
  for (int i = 0; i < 9; ++i)
    Poll(0, QStringLiteral("123456789012345678901234"), QStringLiteral("7"));
  EXPECT_EQ(varList->GetItemText(0, 7), "0"); // wrapped after ten answers
  EXPECT_EQ(varList->GetItemText(0, 5), "1234567890123456789");

  // Testpoints add the selected group's variables visible at the level.
  varTree->setCurrentItem(varTree->ItemOfKey(-5));
  doc.SetTestpoints(1);
  doc.RequestVarListRefill();
  doc.UpdateAllViews(nullptr, views::HINT_VAR_LIST);
  ASSERT_EQ(varList->GetItemCount(), 13);
  EXPECT_EQ(varList->GetItemText(11, 3), "analog_in1");
  EXPECT_EQ(varList->GetItemText(12, 3), "dig_inputs");
  EXPECT_EQ(varList->GetItemText(0, 5), "1234567890123456789"); // watch rows keep their values
}

TEST_F(VarList, ColoursOfflineOnlineAndDrag)
{
  Open("demo-full.vtx", 2);
  const COptions &o = main.options;
  EXPECT_EQ(Colors(0), (views::ColorPair{0xFF0000, 0xFFC8C8}));
  doc.SetStateFlags(CQelDocContainer::STATE_ONLINE);
  EXPECT_EQ(Colors(0), (views::ColorPair{o.CorpoTestoOnline2.Get(), o.SfondoTestoOnline1.Get()}));
  EXPECT_EQ(Colors(2), (views::ColorPair{o.CorpoTestoOnline2.Get(), o.SfondoTestoOnline2.Get()}));
  EXPECT_EQ(Colors(6), (views::ColorPair{o.CorpoTestoOnline1.Get(), o.SfondoTestoOnline2.Get()}));
  EXPECT_EQ(Colors(8), (views::ColorPair{o.CorpoTestoOnline1.Get(), o.SfondoTestoOnline1.Get()}));
  EXPECT_EQ(Colors(10), (views::ColorPair{o.CorpoTestoOnline1.Get(), o.SfondoTestoOnline2.Get()}));
  // A drag over watch row 2 marks it; over a standard row nothing changes.
  views::drag::SetActive(doc, true);
  views::drag::SetPoint(doc, varList->viewport()->mapToGlobal(varList->GetItemRect(2).center()));
  doc.UpdateAllViews(nullptr, views::HINT_VAR_LIST);
  EXPECT_EQ(Colors(2), (views::ColorPair{0x000000, 0x0000FF}));
  EXPECT_EQ(views::drag::TargetRow(doc), 2);
  EXPECT_EQ(views::drag::TargetPar(doc), views::drag::OVER_VAR_LIST);
  views::drag::SetPoint(doc, varList->viewport()->mapToGlobal(varList->GetItemRect(8).center()));
  doc.UpdateAllViews(nullptr, views::HINT_VAR_LIST);
  EXPECT_EQ(Colors(8), (views::ColorPair{o.CorpoTestoOnline1.Get(), o.SfondoTestoOnline1.Get()}));
  EXPECT_EQ(Colors(2), (views::ColorPair{o.CorpoTestoOnline2.Get(), o.SfondoTestoOnline2.Get()}));
  views::drag::SetActive(doc, false);
  doc.UpdateAllViews(nullptr, views::HINT_VAR_LIST);
  EXPECT_EQ(views::drag::TargetRow(doc), views::drag::NO_TARGET);
}

TEST_F(VarList, PollAnswerRepaintsOnlyTheRowsValueCells)
{
  Open("demo-full.vtx", 2);
  PaintSpy spy(varList->viewport());
  Poll(3, QStringLiteral("12"), QStringLiteral("12"));
  QRegion cells;
  for (int col : {CVarListView::COL_SI, CVarListView::COL_UI, CVarListView::COL_COUNTER})
    cells += varList->visualRect(varList->model()->index(3, col));
  EXPECT_EQ(spy.Painted(), cells);
  EXPECT_EQ(varList->GetItemText(3, CVarListView::COL_SI), "12");
  // A drag that stays over the same row repaints nothing more.
  views::drag::SetActive(doc, true);
  views::drag::SetPoint(doc, varList->viewport()->mapToGlobal(varList->GetItemRect(2).center()));
  doc.UpdateAllViews(nullptr, views::HINT_VAR_LIST);
  EXPECT_FALSE(spy.Painted().isEmpty());
  views::drag::SetPoint(doc, varList->viewport()->mapToGlobal(varList->GetItemRect(2).center() + QPoint(5, 1)));
  doc.UpdateAllViews(nullptr, views::HINT_VAR_LIST);
  EXPECT_TRUE(spy.Painted().isEmpty());
  views::drag::SetActive(doc, false);
}

TEST_F(VarList, WatchRowEditsByNumberKeyAndName)
{
  Open("demo-full.vtx", 2);
  doc.SetModifiedFlag(false);
  Type(1, CVarListView::COL_INDEX, QStringLiteral("5"));
  EXPECT_EQ(doc.GetVarRows()[1].index, 5);
  EXPECT_EQ(varList->GetItemText(1, 3), "analog_in1");
  EXPECT_TRUE(doc.IsModified());
  Type(1, CVarListView::COL_INDEX, QStringLiteral("abc"));
  Type(1, CVarListView::COL_INDEX, QStringLiteral("99"));
  EXPECT_EQ(doc.GetVarRows()[1].index, 5);
  Type(2, CVarListView::COL_KEY, QStringLiteral("40_1"));
  EXPECT_EQ(varList->GetItemText(2, 3), "dig_inputs");
  Type(2, CVarListView::COL_KEY, QStringLiteral("40_9"));
  EXPECT_EQ(varList->GetItemText(2, 3), "dig_inputs");
  Type(3, CVarListView::COL_NAME, QStringLiteral("dc_voltage"));
  EXPECT_EQ(doc.GetVarRows()[3].index, 4);
  Type(3, CVarListView::COL_NAME, QStringLiteral("DC_voltage")); // names match case and whole
  Type(3, CVarListView::COL_NAME, QStringLiteral("voltage"));
  EXPECT_EQ(doc.GetVarRows()[3].index, 4);
  // The same variable again keeps the value shown.
  Poll(3, QStringLiteral("48.0"), QStringLiteral("480"));
  Type(3, CVarListView::COL_INDEX, QStringLiteral("4"));
  EXPECT_EQ(varList->GetItemText(3, 5), "48.0");
  // Standard rows are not watch rows.
  Type(7, CVarListView::COL_INDEX, QStringLiteral("5"));
  EXPECT_NE(doc.GetVarRows()[7].index, 5);

  // Only watch rows open the editor, in columns N and Variable.
  varList->OnLButtonDown(CellPoint(2, CVarListView::COL_NAME));
  EXPECT_NE(varList->GetEditCell(), nullptr);
  EXPECT_EQ(doc.GetHelpTopic(), "dig_inputs");
  varList->GetEditCell()->close();
  delete varList->GetEditCell();
  varList->OnLButtonDown(CellPoint(7, CVarListView::COL_NAME));
  EXPECT_EQ(varList->GetEditCell(), nullptr);
  // Nor do the editor's keys take it below the last watch row.
  varList->OnLButtonDown(CellPoint(5, CVarListView::COL_NAME));
  gfxEditCell *edit = varList->GetEditCell();
  ASSERT_NE(edit, nullptr);
  edit->setText(QStringLiteral("dc_voltage"));
  for (Qt::Key key : {Qt::Key_Down, Qt::Key_Tab, Qt::Key_PageDown}) {
    QTest::keyClick(edit, key);
    QApplication::processEvents();
    ASSERT_EQ(varList->GetEditCell(), edit) << key;
    EXPECT_EQ(edit->text(), "dc_voltage") << key;
  }
}

TEST_F(VarList, RowNamingNoVariableIsBlank)
{
  Open("demo-full.vtx", 2);
  doc.GetVarRows()[1].index = 99;
  doc.RequestVarListRefill();
  doc.UpdateAllViews(nullptr, views::HINT_VAR_LIST);
  EXPECT_EQ(RowTexts(1), QStringList({"", "", "", "", "", "", "", ""}));
  EXPECT_EQ(doc.GetVarRows()[1].index, 99);
}

TEST_F(VarList, BitFieldOpensTheBitEditorInResetMode)
{
  Open("demo-full.vtx", 2);
  Poll(5, QStringLiteral("0000.0000.0000.0101"), QStringLiteral("5"), 5.0f); // error_flag
  QString okText;
  std::vector<int> images;
  CBitSet::SetModalHook([&](CBitSet &dialog) {
    okText = dialog.GetOkButton()->text();
    for (int i = 0; i < dialog.GetList()->GetItemCount(); ++i)
      images.push_back(dialog.GetList()->GetCellData(i, 0)->nImage);
    EXPECT_EQ(dialog.GetList()->GetCellData(0, 0)->nCheckedState, -1);
    return IDOK;
  });
  doc.SetStateFlags(CQelDocContainer::STATE_ONLINE);
  varList->OnLButtonDown(CellPoint(5, CVarListView::COL_SI));
  EXPECT_EQ(okText, "Reset");
  EXPECT_EQ(images, std::vector<int>({2})); // one bit, named or not
  ASSERT_EQ(main.host.queue.size(), 1u);
  EXPECT_EQ(main.host.queue[0]->PktType.par.first_par, doc.GetPar(Par("is_sw_set")).GetAddress());
  EXPECT_TRUE(doc.IsResetPending());
}

TEST_F(VarList, WidthsAreSavedThroughTheMainFrame)
{
  Open("demo-full.vtx", 2);
  varList->SetColumnWidth(3, 4);
  varList->SetColumnWidth(5, 120);
  doc.UpdateAllViews(nullptr, 0x2801);
  const COptionIntArray &saved = main.options.VarWidth;
  EXPECT_EQ(saved.At(0), 50);
  EXPECT_EQ(saved.At(3), 10);
  EXPECT_EQ(saved.At(5), 120);
  EXPECT_EQ(saved.At(7), 20);
  EXPECT_EQ(saved.At(8), 58); // columns the list does not have keep theirs
}

TEST(BitSetDialog, NamesImagesAndWord)
{
  TestEnvironment env;
  const QStringList names = {"On|Off", "plain", " set | clear ", "|bar"};
  CBitSet::SetModalHook([](CBitSet &dialog) {
    CXListCtrl *list = dialog.GetList();
    EXPECT_EQ(list->GetItemText(0, 1), "On");
    EXPECT_EQ(list->GetItemText(1, 1), "plain");
    EXPECT_EQ(list->GetItemText(2, 1), "set");
    EXPECT_EQ(list->GetItemText(3, 1), "|bar");
    EXPECT_EQ(list->GetCheckbox(0, 0), 1);
    EXPECT_EQ(list->GetCheckbox(1, 0), 0);
    EXPECT_EQ(list->GetHeaderCheckedState(0), 1);
    COLORREF text = 0, back = 0;
    list->GetItemColors(0, 1, &text, &back);
    EXPECT_EQ(back, RGB(200, 200, 200));
    list->SetCheckbox(0, 0, 0);
    list->SetCheckbox(3, 0, 1);
    return IDOK;
  });
  CBitSet edit(nullptr, &names, QStringLiteral("flags"), 1, 5, 0xFF05, 1, 0);
  EXPECT_EQ(edit.DoModal(), IDOK);
  EXPECT_EQ(edit.m_nWord, 0x000C); // bits above the last name are cleared
  EXPECT_EQ(edit.GetOkButton()->text(), "OK");

  CBitSet::SetModalHook([](CBitSet &) { return IDCANCEL; });
  CBitSet cancelled(nullptr, &names, QStringLiteral("flags"), 1, 5, 0xFF05, 1, 0);
  EXPECT_EQ(cancelled.DoModal(), IDCANCEL);
  EXPECT_EQ(cancelled.m_nWord, 0xFF05);
  EXPECT_EQ(cancelled.GetList()->GetItemText(2, 1), "set");
  EXPECT_EQ(CBitSet::BitText(QStringLiteral("A|B"), false), "B");
  CBitSet::SetModalHook({});
}

TEST(BitSetDialog, RowTextFollowsItsBox)
{
  TestEnvironment env;
  const QStringList names = {"A1|A0", "B1|B0", "C"};
  const auto texts = [](CXListCtrl *list) {
    QStringList shown;
    for (int i = 0; i < list->GetItemCount(); ++i)
      shown << list->GetItemText(i, 1);
    return shown;
  };
  // Clicks as the user makes them: on a row's box, on the header's box.
  const auto click = [](CBitSet &dialog, int row) {
    dialog.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    CXListCtrl *list = dialog.GetList();
    QRect rc;
    if (row < 0) {
      list->GetHeaderCtrl()->GetItemRect(0, &rc);
      QTest::mouseClick(list->GetHeaderCtrl()->viewport(), Qt::LeftButton, {}, rc.center());
      return;
    }
    list->GetSubItemRect(row, 0, xl::LVIR_BOUNDS, rc);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->viewport()->mapFromGlobal(list->ClientToScreen(rc.center())));
  };
  CBitSet::SetModalHook([&](CBitSet &dialog) {
    EXPECT_EQ(texts(dialog.GetList()), QStringList({"A1", "B0", "C"}));
    click(dialog, 1);
    EXPECT_EQ(texts(dialog.GetList()), QStringList({"A1", "B1", "C"}));
    click(dialog, 0);
    EXPECT_EQ(texts(dialog.GetList()), QStringList({"A0", "B1", "C"}));
    COLORREF text = 1, back = 0;
    dialog.GetList()->GetItemColors(0, 1, &text, &back);
    EXPECT_EQ(text, 0x000000u);
    EXPECT_EQ(back, RGB(200, 200, 200));
    return IDOK;
  });
  CBitSet ticked(nullptr, &names, QStringLiteral("flags"), 1, 5, 5, 1, 0);
  EXPECT_EQ(ticked.DoModal(), IDOK);
  EXPECT_EQ(ticked.m_nWord, 6);

  CBitSet::SetModalHook([&](CBitSet &dialog) {
    click(dialog, -1);
    EXPECT_EQ(texts(dialog.GetList()), QStringList({"A1", "B1", "C"}));
    click(dialog, -1);
    EXPECT_EQ(texts(dialog.GetList()), QStringList({"A0", "B0", "C"}));
    return IDCANCEL;
  });
  CBitSet header(nullptr, &names, QStringLiteral("flags"), 1, 5, 5, 1, 0);
  EXPECT_EQ(header.DoModal(), IDCANCEL);
  CBitSet::SetModalHook({});
}
