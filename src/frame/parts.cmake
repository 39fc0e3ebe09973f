set(FRAME_PARTS_SOURCES
  AboutDlg.cpp AboutDlg.h
  BoardDialogs.cpp BoardDialogs.h
  MDITabs.cpp MDITabs.h
  ProgressTimeToComplete.cpp ProgressTimeToComplete.h
  SingleInstance.cpp SingleInstance.h
  SplitterWnd.cpp SplitterWnd.h
  StatusBarCtrls.cpp StatusBarCtrls.h
)
