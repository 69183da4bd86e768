# demos_test(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>])
# Builds one GoogleTest program and registers its tests with CTest. Tests run in the project
# root so that ../shared/testdata is found the same way from every test. The labels `reader`
# and `whole-program` also put the program in the targets reader_tests and
# whole_program_tests, which scripts/test builds and runs again under the sanitizers.
function(demos_test name)
  if(NOT TARGET demos_gtest_header)
    demos_gtest_header()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  # Test programs spend their time in the code under test, which is built with the project's
  # flags in its own libraries; their own sources compile unoptimised, in half the time, and
  # share one precompiled GoogleTest header.
  target_compile_options(${name} PRIVATE -O0)
  target_precompile_headers(${name} REUSE_FROM demos_gtest_header)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    DEMOS_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    DEMOS_BINARY_DIR="${PROJECT_BINARY_DIR}")
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS "${T_LABELS}")
  if("reader" IN_LIST T_LABELS)
    set_property(GLOBAL APPEND PROPERTY DEMOS_READER_TESTS ${name})
  endif()
  if("whole-program" IN_LIST T_LABELS)
    set_property(GLOBAL APPEND PROPERTY DEMOS_WHOLE_PROGRAM_TESTS ${name})
  endif()
endfunction()

# The GoogleTest header precompiled once for every test program, with the flags and definitions
# demos_test gives them.
function(demos_gtest_header)
  file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/demos_gtest_header.cpp CONTENT "// GoogleTest's precompiled header\n")
  add_library(demos_gtest_header STATIC ${CMAKE_BINARY_DIR}/demos_gtest_header.cpp)
  target_link_libraries(demos_gtest_header PRIVATE GTest::gtest)
  target_compile_options(demos_gtest_header PRIVATE -O0)
  target_compile_definitions(demos_gtest_header PRIVATE
    DEMOS_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    DEMOS_BINARY_DIR="${PROJECT_BINARY_DIR}")
  target_precompile_headers(demos_gtest_header PRIVATE <gtest/gtest.h>)
endfunction()

# Adds every immediate subfolder of the current source folder that has a CMakeLists.txt,
# in alphabetical order, so that new modules need no edit of their parent's list.
function(demos_add_subdirectories)
  file(GLOB children CONFIGURE_DEPENDS RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child ${children})
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# demos_fuzz_target(<name> SOURCES <files...> LIBS <targets...>)
# A libFuzzer target when the compiler is clang; otherwise the same entry point behind a
# driver that replays the files given on its command line. Built into build/fuzz.
function(demos_fuzz_target name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    add_executable(${name} ${F_SOURCES})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  else()
    add_executable(${name} ${F_SOURCES} ${PROJECT_SOURCE_DIR}/fuzz/driver.cpp)
  endif()
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
endfunction()
