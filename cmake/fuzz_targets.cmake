# The fuzz targets as a library: the libFuzzer programs of fuzz/ and the crash-vector test both run them.
file(GLOB fuzz_target_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/fuzz/*.cpp)
list(FILTER fuzz_target_sources EXCLUDE REGEX "/fuzz_main\\.cpp$")
add_library(kd_fuzz_targets STATIC ${fuzz_target_sources})
target_include_directories(kd_fuzz_targets PUBLIC ${CMAKE_SOURCE_DIR}/fuzz)
target_link_libraries(kd_fuzz_targets PUBLIC kaldro_all)
target_compile_definitions(kd_fuzz_targets PRIVATE KALDRO_BUILD_DIR="${CMAKE_BINARY_DIR}"
                                                   KALDRO_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
