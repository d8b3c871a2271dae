# Checked builds, both off by default:
#   PITKIT_SANITIZE  everything built with AddressSanitizer and UndefinedBehaviorSanitizer. The
#                    first report ends the program with a failure, so a report fails its test.
#   PITKIT_FUZZ      the libFuzzer targets under tests/fuzz (clang only).
# `make test` configures one clang build with both (see the Makefile).
option(PITKIT_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(PITKIT_FUZZ "Build the libFuzzer targets (needs clang)" OFF)

if(PITKIT_FUZZ AND NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "PITKIT_FUZZ needs clang (configure with -DCMAKE_CXX_COMPILER=clang++)")
endif()

if(PITKIT_SANITIZE)
  set(PITKIT_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${PITKIT_SANITIZER_FLAGS})
  add_link_options(${PITKIT_SANITIZER_FLAGS})
  # Every program that links the core also gets the runtime defaults (leak suppressions for the
  # libraries below Qt, stack traces for undefined behaviour). Deferred: pitkit_core is defined
  # by src/, which is added after this file.
  set(PITKIT_LSAN_SUPPRESSIONS ${PROJECT_SOURCE_DIR}/tests/sanitizer/lsan.supp)
  configure_file(${PROJECT_SOURCE_DIR}/tests/sanitizer/sanitizer_defaults.cpp.in
    ${PROJECT_BINARY_DIR}/sanitizer_defaults.cpp @ONLY)
  cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL
    target_sources pitkit_core INTERFACE ${PROJECT_BINARY_DIR}/sanitizer_defaults.cpp)
endif()
