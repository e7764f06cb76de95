# One test program per folder of tests/; each test finds its data through KALDRO_TEST_DATA.
find_package(GTest REQUIRED)
include(GoogleTest)
# tests/support holds what several test programs share (running a program on the headless host).
file(GLOB support_srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
add_library(kd_test_support STATIC ${support_srcs})
target_include_directories(kd_test_support PUBLIC ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR}/src)
target_compile_definitions(kd_test_support PUBLIC KALDRO_BIN_DIR="${CMAKE_BINARY_DIR}/bin")

file(GLOB test_dirs LIST_DIRECTORIES true CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/*)
foreach(dir ${test_dirs})
  get_filename_component(unit ${dir} NAME)
  if(IS_DIRECTORY ${dir} AND NOT unit STREQUAL "support" AND NOT unit STREQUAL "data")
    file(GLOB test_srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
    if(test_srcs)
      add_executable(test_${unit} ${test_srcs})
      target_include_directories(test_${unit} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
      target_link_libraries(test_${unit} PRIVATE kd_test_support kaldro_all GTest::gtest GTest::gtest_main GTest::gmock)
      if(unit STREQUAL "robustness")  # runs the crash vectors through the fuzz targets
        target_link_libraries(test_${unit} PRIVATE kd_fuzz_targets)
      endif()
      if(unit STREQUAL "hosts")  # the real hosts' tests reach the window host too
        target_link_libraries(test_${unit} PRIVATE kd_window)
      endif()
      target_compile_definitions(test_${unit} PRIVATE
        KALDRO_TEST_DATA="${CMAKE_SOURCE_DIR}/tests/data"
        KALDRO_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
      if(TARGET plumar)
        add_dependencies(test_${unit} plumar)
      endif()
      if(TARGET kaldro-fala)
        add_dependencies(test_${unit} kaldro-fala)
      endif()
      gtest_discover_tests(test_${unit} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300 ENVIRONMENT "${KALDRO_SANITIZER_ENV}")
    endif()
  endif()
endforeach()

# The real terminal (tmux) and the real window (Xvfb, xdotool), end to end with plumar. Each script
# ends with 77, a skip, where its tools are not installed.
foreach(real_host tmux xvfb)
  add_test(NAME hosts_${real_host}
           COMMAND sh ${CMAKE_SOURCE_DIR}/tests/hosts/run_${real_host}.sh ${CMAKE_BINARY_DIR}/bin
                   ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/hosts_${real_host})
  set_tests_properties(hosts_${real_host} PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77
                       ENVIRONMENT "${KALDRO_SANITIZER_ENV}")
endforeach()
