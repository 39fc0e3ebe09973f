set(FRAME_PARTS_TESTS
  ${CMAKE_CURRENT_LIST_DIR}/FakeMainWindow.h
  ${CMAKE_CURRENT_LIST_DIR}/BoardDialogsTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SplitterProgressTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/StatusBarCtrlsTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TabsAboutTest.cpp
)
