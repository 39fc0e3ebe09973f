set(FRAME_PARTS_SOURCES
  AboutDlg.cpp AboutDlg.h
  BoardDialogs.cpp BoardDialogs.h
  LockKeys.cpp LockKeys.h
  MDITabs.cpp MDITabs.h
  PrefsPages.cpp PrefsPages.h
  ProgressTimeToComplete.cpp ProgressTimeToComplete.h
  SingleInstance.cpp SingleInstance.h
  SplitterWnd.cpp SplitterWnd.h
  StatusBarCtrls.cpp StatusBarCtrls.h
  ZuPrefsDialog.cpp ZuPrefsDialog.h
)
