set(VIEWS_LIST_TESTS
  ParListViewTest.cpp
  TreeViewTest.cpp
  ViewFakes.h)
