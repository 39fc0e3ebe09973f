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
  XListCtrl.cpp XListCtrl.h
  XListView.cpp XListView.h)
