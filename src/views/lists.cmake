set(VIEWS_LIST_SOURCES
  BitSet.cpp BitSet.h
  ChooseHiLowDlg.cpp ChooseHiLowDlg.h
  FindDialog.cpp FindDialog.h
  ListaPar.cpp ListaPar.h
  ParTreeView.cpp ParTreeView.h
  VarListView.cpp VarListView.h
  VarTreeView.cpp VarTreeView.h
  ViewState.cpp ViewState.h)
