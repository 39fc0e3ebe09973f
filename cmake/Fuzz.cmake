# The libFuzzer build (clang): -DVELOTRIX_FUZZ=ON. Every library of ours is
# compiled with AddressSanitizer, UndefinedBehaviorSanitizer and coverage
# feedback, so the fuzzers are guided through the readers and everything
# they call (the Windows-1252 decoder included), not only through the driver.
option(VELOTRIX_FUZZ "Build the libFuzzer targets (clang)" OFF)

if(VELOTRIX_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "VELOTRIX_FUZZ needs clang (CXX=clang++ CC=clang)")
  endif()
  # Findings, not warnings, are what this build is for: another compiler's
  # warnings do not stop it.
  target_compile_options(velotrix_options INTERFACE
    -fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=undefined
    -fno-omit-frame-pointer -O1 -g -Wno-error)
  target_link_options(velotrix_options INTERFACE -fsanitize=address,undefined)
  # "cmake --build <dir> --target fuzzers" builds every fuzz target.
  add_custom_target(fuzzers)
endif()

# velotrix_fuzzer(<name> SOURCES ... DEPENDS ...): one libFuzzer target,
# built only in the fuzz build; the name ends in _fuzz (scripts/fuzz runs
# every bin/*_fuzz).
function(velotrix_fuzzer name)
  if(NOT VELOTRIX_FUZZ)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE velotrix_options ${ARG_DEPENDS})
  add_dependencies(fuzzers ${name})
endfunction()
