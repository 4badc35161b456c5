# The quote button, the properties dialog and the folder chooser.
add_executable(ui_dialogs_tests
  DialogsTestMain.cpp
  DialogsWindowTest.cpp
  DirDialogTest.cpp
  DirPathTest.cpp
  QuoteButtonTest.cpp
  Unit2Test.cpp
)
target_link_libraries(ui_dialogs_tests PRIVATE quorvantel_ui Qt6::Test GTest::gtest)
target_compile_definitions(ui_dialogs_tests PRIVATE
  QUORVANTEL_EXAMPLES_DIR="${QUORVANTEL_EXAMPLES_DIR}")
gtest_discover_tests(ui_dialogs_tests DISCOVERY_TIMEOUT 60
  PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")

# The quote button against a real X clipboard, with xclip as the other program.
add_executable(ui_clipboard_x_tests
  DialogsTestMain.cpp
  QuoteClipboardXTest.cpp
)
target_link_libraries(ui_clipboard_x_tests PRIVATE quorvantel_ui Qt6::Test GTest::gtest)
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(XCB QUIET IMPORTED_TARGET xcb)
endif()
if(XCB_FOUND)
  target_link_libraries(ui_clipboard_x_tests PRIVATE PkgConfig::XCB)
  target_compile_definitions(ui_clipboard_x_tests PRIVATE QUORVANTEL_HAVE_XCB)
endif()
find_program(XVFB_RUN xvfb-run)
if(XVFB_RUN)
  add_test(NAME ui_clipboard_x_tests
           COMMAND ${XVFB_RUN} -a $<TARGET_FILE:ui_clipboard_x_tests>)
  set_tests_properties(ui_clipboard_x_tests PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=xcb" TIMEOUT 180)
endif()
