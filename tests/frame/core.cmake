list(APPEND FRAME_CORE_TESTS
  ${CMAKE_CURRENT_LIST_DIR}/FrameTestSupport.cpp ${CMAKE_CURRENT_LIST_DIR}/FrameTestSupport.h
  ${CMAKE_CURRENT_LIST_DIR}/ChildConnTest.cpp
)
list(APPEND FRAME_CORE_TESTS
  ${CMAKE_CURRENT_LIST_DIR}/MainFrameFixture.h
  ${CMAKE_CURRENT_LIST_DIR}/MainFrameTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MainAnswersTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ConfirmedWriteTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AnswerRouterTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MainCommandsTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MainProceduresTest.cpp
)
# End to end through the serial manager and the simulated board.
list(APPEND FRAME_CORE_TESTS
  ${CMAKE_CURRENT_LIST_DIR}/BoardLinkTest.cpp
)
# The real views and tool windows in the frames.
list(APPEND FRAME_CORE_TESTS
  ${CMAKE_CURRENT_LIST_DIR}/AppWiringTest.cpp
)
cmake_language(DEFER CALL add_dependencies frame_tests boardsim)
