set(CONTROLS_LIST_TESTS
  AdvComboBoxTest.cpp
  XListCtrlTest.cpp)
