# quorvantel_test(NAME SOURCES src... [LIBS lib...] [QT] [XVFB] [TIMEOUT s] [DEFINES d...])
#
# One GoogleTest executable with its CTest registration. QT: the tests need a
# QApplication (offscreen unless XVFB). XVFB: the executable runs whole under
# xvfb-run on the xcb platform, for what the offscreen platform lacks (a real
# clipboard, desktop services); skipped with a warning where xvfb-run is missing.
find_package(GTest REQUIRED)
include(GoogleTest)
find_program(XVFB_RUN xvfb-run)

function(quorvantel_test name)
  cmake_parse_arguments(T "QT;XVFB" "TIMEOUT" "SOURCES;LIBS;DEFINES" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} quorvantel_test_support)
  if(T_QT OR T_XVFB)
    target_link_libraries(${name} PRIVATE quorvantel_qt_test_main)
  else()
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  target_compile_definitions(${name} PRIVATE
    QUORVANTEL_EXAMPLES_DIR="${PROJECT_SOURCE_DIR}/examples"
    QUORVANTEL_FUZZ_CORPUS_ROOT="${PROJECT_SOURCE_DIR}/fuzz/corpus"
    ${T_DEFINES})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  if(T_XVFB)
    if(XVFB_RUN)
      add_test(NAME ${name}
               COMMAND ${XVFB_RUN} -a -s "-screen 0 1280x1024x24" $<TARGET_FILE:${name}>)
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
