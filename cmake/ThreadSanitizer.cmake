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
