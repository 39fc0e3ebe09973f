set(VIEWS_PRINT_TESTS
  ParListPrintTest.cpp
  MultiPagePreviewTest.cpp
  PrintTestSupport.h)
# The generated boards of the printing tests.
cmake_language(DEFER CALL target_include_directories views_tests PRIVATE ${PROJECT_SOURCE_DIR}/tools/gendoc)
