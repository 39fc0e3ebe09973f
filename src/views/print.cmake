set(VIEWS_PRINT_SOURCES
  MultiPagePreview.cpp MultiPagePreview.h
  ParListPrint.cpp ParListPrint.h
  PrintSetup.cpp PrintSetup.h)
