# The ThreadSanitizer build of the threaded layers' tests: -DVELOTRIX_TSAN=ON
# (scripts/test-tsan). It cannot be combined with AddressSanitizer.
option(VELOTRIX_TSAN "Build with ThreadSanitizer" OFF)

if(VELOTRIX_TSAN)
  if(VELOTRIX_SANITIZE OR VELOTRIX_FUZZ)
    message(FATAL_ERROR "VELOTRIX_TSAN excludes VELOTRIX_SANITIZE and VELOTRIX_FUZZ")
  endif()
  target_compile_options(velotrix_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer -O1 -g)
  target_link_options(velotrix_options INTERFACE -fsanitize=thread)
endif()

# The probe (-DVELOTRIX_TSAN_PROBE=ON, with VELOTRIX_TSAN): tsan_probe holds
# a deliberate race of ours that ThreadSanitizer must report through the
# suppressions; scripts/test-tsan --probe builds and runs it.
option(VELOTRIX_TSAN_PROBE "Build tsan_probe, a race ThreadSanitizer must report" OFF)

if(VELOTRIX_TSAN_PROBE)
  if(NOT VELOTRIX_TSAN)
    message(FATAL_ERROR "VELOTRIX_TSAN_PROBE needs VELOTRIX_TSAN")
  endif()
  add_executable(tsan_probe ${PROJECT_SOURCE_DIR}/tests/tsan/RaceProbe.cpp)
  target_link_libraries(tsan_probe PRIVATE velotrix_options Qt6::Core)
endif()
