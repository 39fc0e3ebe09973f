# List control, its editors, header, combo box and drop-down window.
set(CONTROLS_LIST_SOURCES
  AdvComboBox.cpp AdvComboBox.h
  DropListBox.cpp DropListBox.h
  DropScrollBar.cpp DropScrollBar.h
  DropWnd.cpp DropWnd.h
  MemDC.cpp MemDC.h
  XCombo.cpp XCombo.h
  XEdit.cpp XEdit.h
  XHeaderCtrl.cpp XHeaderCtrl.h
  XListCommon.cpp XListCommon.h
  XListController.cpp XListController.h
  XListCtrl.cpp XListCtrl.h
  XListData.cpp XListData.h
  XListPainter.cpp XListPainter.h
  XListView.cpp XListView.h)
