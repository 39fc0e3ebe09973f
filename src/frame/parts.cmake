set(FRAME_PARTS_SOURCES
  BoardDialogs.cpp BoardDialogs.h
  ProgressTimeToComplete.cpp ProgressTimeToComplete.h
  SplitterWnd.cpp SplitterWnd.h
  StatusBarCtrls.cpp StatusBarCtrls.h
)
