# The fuzz targets as a library: the libFuzzer programs of fuzz/ and the crash-vector test both run them.
file(GLOB fuzz_target_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/fuzz/*.cpp)
list(FILTER fuzz_target_sources EXCLUDE REGEX "/fuzz_main\\.cpp$")
add_library(kd_fuzz_targets STATIC ${fuzz_target_sources})
target_include_directories(kd_fuzz_targets PUBLIC ${CMAKE_SOURCE_DIR}/fuzz)
target_link_libraries(kd_fuzz_targets PUBLIC kaldro_all)
target_compile_definitions(kd_fuzz_targets PRIVATE KALDRO_BUILD_DIR="${CMAKE_BINARY_DIR}"
                                                   KALDRO_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
# The co-process the mbrola_lines target binds as the MBROLA program, built plain: it only replays
# what the input says, and starts once per input.
add_executable(mbrola_reply ${CMAKE_SOURCE_DIR}/fuzz/mbrola_reply/mbrola_reply.cpp)
target_compile_options(mbrola_reply PRIVATE -fno-sanitize=all)
target_link_options(mbrola_reply PRIVATE -fno-sanitize=all)
set_target_properties(mbrola_reply PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
add_dependencies(kd_fuzz_targets mbrola_reply kaldro_ormiatts_data)
target_compile_definitions(kd_fuzz_targets PRIVATE KALDRO_MBROLA_REPLY="$<TARGET_FILE:mbrola_reply>")
# The library the mbrola_library target binds: it answers read_MBR as the input says.
add_library(mbrola_reply_library SHARED ${CMAKE_SOURCE_DIR}/fuzz/mbrola_reply/mbrola_reply_library.cpp)
target_compile_options(mbrola_reply_library PRIVATE -fno-sanitize=all)
target_link_options(mbrola_reply_library PRIVATE -fno-sanitize=all)
set_target_properties(mbrola_reply_library PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
add_dependencies(kd_fuzz_targets mbrola_reply_library)
target_compile_definitions(kd_fuzz_targets PRIVATE KALDRO_MBROLA_REPLY_LIBRARY="$<TARGET_FILE:mbrola_reply_library>")
