# Buttons, hyperlink, static text, title tip, editable list, tabs, autocomplete edit.
set(CONTROLS_WIDGET_SOURCES
  ACEditCtrl.cpp ACEditCtrl.h
  EditListView.cpp EditListView.h
  FooButton.cpp FooButton.h
  gfxEditCell.cpp gfxEditCell.h
  MappedBitmapButton.cpp MappedBitmapButton.h
  TitleTip.cpp TitleTip.h
  XColorStatic.cpp XColorStatic.h
  XGlyphButton.cpp XGlyphButton.h
  XHyperLink.cpp XHyperLink.h
  XTabCtrl.cpp XTabCtrl.h)
