# quorvantel_test(NAME SOURCES src... [LIBS lib...] [QT] [XVFB] [TIMEOUT s] [DEFINES d...])
#
# One GoogleTest executable with its CTest registration. QT: the tests need a
# QApplication (offscreen unless XVFB). XVFB: the executable runs whole under
# xvfb-run on the xcb platform, for what the offscreen platform lacks (a real
# clipboard, desktop services); skipped with a warning where xvfb-run is missing.
find_package(GTest REQUIRED)
include(GoogleTest)
include(${CMAKE_CURRENT_LIST_DIR}/Xvfb.cmake)

# Test code is compiled without optimisation in every tree: its cases run in
# seconds either way, and optimising them was half of the build. The code
# under test keeps its tree's flags. The headers every test includes are
# compiled once, in the support library the test links: one for the plain
# tests and one for the Qt ones, whose flags differ (-fPIC).
set(QUORVANTEL_TEST_PCH <gtest/gtest.h> <algorithm> <chrono> <filesystem> <fstream>
    <functional> <map> <memory> <optional> <set> <sstream> <string> <vector>)

# TARGET: a library whose precompiled headers the others reuse.
function(quorvantel_test_pch_owner target)
  target_compile_options(${target} PRIVATE -O0)
  target_precompile_headers(${target} PRIVATE ${QUORVANTEL_TEST_PCH})
endfunction()

# TARGET [QT]: a test program.
function(quorvantel_test_code target)
  cmake_parse_arguments(P "QT" "" "" ${ARGN})
  target_compile_options(${target} PRIVATE -O0)
  if(P_QT)
    target_precompile_headers(${target} REUSE_FROM quorvantel_qt_test_main)
  else()
    target_precompile_headers(${target} REUSE_FROM quorvantel_test_support)
  endif()
endfunction()

function(quorvantel_test name)
  cmake_parse_arguments(T "QT;XVFB" "TIMEOUT" "SOURCES;LIBS;DEFINES" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} quorvantel_test_support)
  if(T_QT OR T_XVFB)
    target_link_libraries(${name} PRIVATE quorvantel_qt_test_main Qt6::Test)
    quorvantel_test_code(${name} QT)
  else()
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
    quorvantel_test_code(${name})
  endif()
  target_compile_definitions(${name} PRIVATE
    QUORVANTEL_EXAMPLES_DIR="${PROJECT_SOURCE_DIR}/examples"
    QUORVANTEL_FUZZ_CORPUS_ROOT="${PROJECT_SOURCE_DIR}/fuzz/corpus"
    ${T_DEFINES})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  if(T_XVFB)
    quorvantel_xvfb_run(xvfb)
    if(xvfb)
      add_test(NAME ${name}
               COMMAND ${xvfb} -s "-screen 0 1280x1024x24" $<TARGET_FILE:${name}>)
      set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=xcb" TIMEOUT ${T_TIMEOUT})
    else()
      message(WARNING "xvfb-run not found: ${name} is not registered")
    endif()
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
      PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT ${T_TIMEOUT})
  endif()
endfunction()
