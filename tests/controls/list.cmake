set(CONTROLS_LIST_TESTS
  AdvComboBoxTest.cpp
  XHeaderCtrlTest.cpp
  XListCtrlTest.cpp
  XListDataTest.cpp)
