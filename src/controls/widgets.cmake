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

# Our own bitmaps, which the buttons load by number as "bitmaps:<id>.png":
# the language flags and the print-preview bar. Added once the controls
# target exists.
function(velotrix_controls_bitmaps)
  set(icons ${PROJECT_SOURCE_DIR}/src/resources/icons)
  set(bitmaps
    flag_it.png 428 flag_en.png 429 flag_fr.png 430 flag_de.png 431 flag_cn.png 432 flag_std.png 433
    preview_pages.png 112 preview_next.png 116 preview_prev.png 117 preview_print.png 118
    preview_zoomin.png 119 preview_zoomout.png 120)
  set(files)
  while(bitmaps)
    list(POP_FRONT bitmaps file id)
    set_source_files_properties(${icons}/${file} PROPERTIES QT_RESOURCE_ALIAS ${id}.png)
    list(APPEND files ${icons}/${file})
  endwhile()
  qt_add_resources(controls "controls_bitmaps" PREFIX "/bitmaps" FILES ${files})
endfunction()
cmake_language(DEFER CALL velotrix_controls_bitmaps)
