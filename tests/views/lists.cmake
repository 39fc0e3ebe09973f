set(VIEWS_LIST_TESTS
  FindDialogTest.cpp
  ParListViewTest.cpp
  TreeViewTest.cpp
  VarListViewTest.cpp
  ViewFakes.h)
