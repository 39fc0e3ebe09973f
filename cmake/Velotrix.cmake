# Compile settings every target of ours shares, carried by one interface target
# rather than global flag strings.
add_library(velotrix_options INTERFACE)
target_compile_options(velotrix_options INTERFACE -Wall -Wextra -Wshadow)
# The test build treats every warning as an error, so none lands.
option(VELOTRIX_WERROR "Treat compiler warnings as errors" OFF)
if(VELOTRIX_WERROR)
  target_compile_options(velotrix_options INTERFACE -Werror)
endif()
target_compile_definitions(velotrix_options INTERFACE
  QT_NO_CAST_FROM_BYTEARRAY QT_NO_URL_CAST_FROM_STRING)
if(VELOTRIX_SANITIZE)
  # gcc's undefined set leaves out float-to-integer casts that overflow (NaN
  # or huge board values); they are undefined all the same.
  target_compile_options(velotrix_options INTERFACE
    -fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=undefined,float-cast-overflow
    -fno-omit-frame-pointer -O1)
  target_link_options(velotrix_options INTERFACE -fsanitize=address,undefined,float-cast-overflow)
endif()

# velotrix_library(<name> SOURCES ... [DEPENDS ...] [PUBLIC_DEPENDS ...])
function(velotrix_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS;PUBLIC_DEPENDS" ${ARGN})
  if(NOT ARG_SOURCES)
    # A layer with no code yet: keeps the dependency graph whole.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_CURRENT_SOURCE_DIR}/..)
    target_link_libraries(${name} INTERFACE ${ARG_DEPENDS} ${ARG_PUBLIC_DEPENDS})
    return()
  endif()
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/..)
  target_link_libraries(${name} PRIVATE velotrix_options ${ARG_DEPENDS} PUBLIC ${ARG_PUBLIC_DEPENDS})
endfunction()

# velotrix_test(<name> [CORE] SOURCES ... DEPENDS ...): one GoogleTest
# executable per tests/ folder, each case a CTest test, always on the
# offscreen platform. A CORE suite (the layers below the widgets) runs under a
# QCoreApplication and links the core part of the test support only.
function(velotrix_test name)
  cmake_parse_arguments(ARG "CORE" "" "SOURCES;DEPENDS" ${ARGN})
  if(NOT ARG_SOURCES)
    return()
  endif()
  if(ARG_CORE)
    set(support velotrix_test_core_main)
  else()
    set(support velotrix_test_widgets)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE velotrix_options ${support} ${ARG_DEPENDS}
    GTest::gtest GTest::gmock)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=detect_leaks=1;UBSAN_OPTIONS=print_stacktrace=1"
               TIMEOUT 120
               SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
endfunction()
