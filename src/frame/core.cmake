# The board connection, the frame windows and the application object.
list(APPEND FRAME_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/FrameCodes.h
  ${CMAKE_CURRENT_LIST_DIR}/RequestSink.h
  ${CMAKE_CURRENT_LIST_DIR}/ChildConn.cpp ${CMAKE_CURRENT_LIST_DIR}/ChildConn.h
  ${CMAKE_CURRENT_LIST_DIR}/ChildConnRequests.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ChildConnAnswers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ChildConnCommands.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BlockPlan.cpp ${CMAKE_CURRENT_LIST_DIR}/BlockPlan.h
)
list(APPEND FRAME_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ChildFrm.cpp ${CMAKE_CURRENT_LIST_DIR}/ChildFrm.h
  ${CMAKE_CURRENT_LIST_DIR}/MainFrm.cpp ${CMAKE_CURRENT_LIST_DIR}/MainFrm.h
  ${CMAKE_CURRENT_LIST_DIR}/MainCommands.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CommandTable.cpp ${CMAKE_CURRENT_LIST_DIR}/CommandTable.h
  ${CMAKE_CURRENT_LIST_DIR}/MainAnswers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AnswerRouter.cpp ${CMAKE_CURRENT_LIST_DIR}/AnswerRouter.h
  ${CMAKE_CURRENT_LIST_DIR}/TraceManager.h
  ${CMAKE_CURRENT_LIST_DIR}/MainProcedures.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MainTrace.cpp
)
list(APPEND FRAME_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/QelApp.cpp ${CMAKE_CURRENT_LIST_DIR}/QelApp.h
  ${CMAKE_CURRENT_LIST_DIR}/AppWiring.cpp ${CMAKE_CURRENT_LIST_DIR}/AppWiring.h
)
