# KALDRO_SANITIZE: everything built with AddressSanitizer (leaks included) and UndefinedBehaviorSanitizer,
# any finding fatal. With clang, KALDRO_FUZZ adds coverage for libFuzzer and builds the fuzz targets.
option(KALDRO_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(KALDRO_FUZZ "Build the libFuzzer targets of fuzz/ (clang, with KALDRO_SANITIZE)" OFF)

# intercept_strstr=0: Speech Dispatcher's client parses its voice list with strstr over the whole
# reply, which the checked strstr (a strlen per call) turns into minutes.
set(KALDRO_SANITIZER_ENV
    "ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:intercept_strstr=0"
    "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tools/lsan.supp:print_suppressions=0"
    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
# Build-time tools (the voice builder) run under the same options.
set(KALDRO_TOOL_ENV)

if(KALDRO_SANITIZE)
  set(sanitizers -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  if(KALDRO_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
      message(FATAL_ERROR "KALDRO_FUZZ needs clang (CC=clang CXX=clang++)")
    endif()
    list(APPEND sanitizers -fsanitize=fuzzer-no-link)
  endif()
  add_compile_options(${sanitizers})
  add_link_options(-fsanitize=address,undefined)
  set(KALDRO_TOOL_ENV ${CMAKE_COMMAND} -E env ${KALDRO_SANITIZER_ENV})
elseif(KALDRO_FUZZ)
  message(FATAL_ERROR "KALDRO_FUZZ needs KALDRO_SANITIZE=ON")
endif()
