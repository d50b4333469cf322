# Test convention: each subsystem keeps its tests in <subsystem>/tests/<area>_test.cpp.
# zepa_add_test(<name> SOURCES a_test.cpp ... LIBS lib ... [DEPENDS program ...]) builds one GoogleTest
# program and registers every case with CTest; DEPENDS names the programs of the build that the test starts,
# so they are built first. Tests run with the build's bin folder as working directory unless told otherwise.
# With ZEPA_TESTS off (the Windows cross build) it defines nothing.
function(zepa_add_test name)
  if(NOT ZEPA_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;DEPENDS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} zepa_testsupport GTest::gtest GTest::gtest_main)
  if(ARG_DEPENDS)
    add_dependencies(${name} ${ARG_DEPENDS})
  endif()
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tests)
  target_compile_definitions(${name} PRIVATE ZEPA_BIN_DIR="${PROJECT_BINARY_DIR}/bin"
                                             ZEPA_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  gtest_discover_tests(${name} WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/tests DISCOVERY_TIMEOUT 60)
endfunction()

# zepa_add_qt_test(<name> SOURCES ... LIBS ...): a Qt Test program over the real widgets, one CTest case,
# run on the offscreen platform. Under the sanitizers, leaks inside Qt's own libraries are suppressed
# (cmake/lsan_qt.supp); leaks of ours still fail.
function(zepa_add_qt_test name)
  if(NOT ZEPA_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;DEPENDS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} zepa_testsupport Qt6::Test)
  if(ARG_DEPENDS)
    add_dependencies(${name} ${ARG_DEPENDS})
  endif()
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tests AUTOMOC ON)
  target_compile_definitions(${name} PRIVATE ZEPA_BIN_DIR="${PROJECT_BINARY_DIR}/bin"
                                             ZEPA_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/tests)
  set_tests_properties(${name} PROPERTIES ENVIRONMENT
    "QT_QPA_PLATFORM=offscreen;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/cmake/lsan_qt.supp")
endfunction()

# zepa_add_benchmark(<name> SOURCES ... LIBS ...): a Google Benchmark program (not run by CTest).
function(zepa_add_benchmark name)
  if(NOT ZEPA_BENCHMARKS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark benchmark::benchmark_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bench)
endfunction()

# The include graph follows the layer order (cmake/check_layers.cmake); the second case proves the check
# catches an engine header that includes the programmer's core.
add_test(NAME LayerCheck.SourceTree COMMAND ${CMAKE_COMMAND} -DROOT=${PROJECT_SOURCE_DIR}
                                            -P ${PROJECT_SOURCE_DIR}/cmake/check_layers.cmake)
add_test(NAME LayerCheck.CatchesAnUpwardInclude
         COMMAND ${CMAKE_COMMAND} -DROOT=${PROJECT_SOURCE_DIR}/cmake/tests/layer_fixture
                 -P ${PROJECT_SOURCE_DIR}/cmake/check_layers.cmake)
set_tests_properties(LayerCheck.CatchesAnUpwardInclude PROPERTIES
                     PASS_REGULAR_EXPRESSION "app/engine/host.h:2: includes ui/core/run_path.h")
