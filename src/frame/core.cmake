# The board connection, the frame windows and the application object.
list(APPEND FRAME_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/FrameCodes.h
  ${CMAKE_CURRENT_LIST_DIR}/RequestSink.h
  ${CMAKE_CURRENT_LIST_DIR}/ChildConn.cpp ${CMAKE_CURRENT_LIST_DIR}/ChildConn.h
)
