set(FRAME_PARTS_SOURCES
  ProgressTimeToComplete.cpp ProgressTimeToComplete.h
  SplitterWnd.cpp SplitterWnd.h
  StatusBarCtrls.cpp StatusBarCtrls.h
)
