set(FRAME_PARTS_TESTS
  ${CMAKE_CURRENT_LIST_DIR}/BoardDialogsTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FakeMainWindow.h
  ${CMAKE_CURRENT_LIST_DIR}/PrefsTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SingleInstanceTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SplitterProgressTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/StatusBarCtrlsTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TabsAboutTest.cpp
)

# A second copy of the program for the single-instance tests.
add_executable(frame_single_instance_helper ${CMAKE_CURRENT_LIST_DIR}/SingleInstanceHelper.cpp)
target_link_libraries(frame_single_instance_helper PRIVATE velotrix_options frame)
cmake_language(DEFER CALL add_dependencies frame_tests frame_single_instance_helper)
# The program itself for the start-up tests.
cmake_language(DEFER CALL add_dependencies frame_tests velotrix)
