# Windows tests under Wine. The programs run through CMAKE_CROSSCOMPILING_EMULATOR
# (the toolchain's wine64) in one throw-away prefix per test run: the fixture
# test wine_prefix makes it afresh, wine_prefix_done stops its wineserver.

set(QUORVANTEL_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
# ja_JP.UTF-8 makes 932 Wine's ANSI code page; no Mono or Gecko installer;
# no debug channels.
set(QUORVANTEL_WINE_ENV
  "WINEPREFIX=${QUORVANTEL_WINEPREFIX}"
  "WINEDEBUG=-all"
  "WINEDLLOVERRIDES=mscoree,mshtml="
  "LANG=ja_JP.UTF-8"
  "LC_ALL=ja_JP.UTF-8")
# No window is needed; a display someone left set must not get Wine's windows.
set(QUORVANTEL_WINE_ENV_MOD "DISPLAY=unset:" "WAYLAND_DISPLAY=unset:")

if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  message(FATAL_ERROR "The Windows tests need Wine (wine64); scripts/deps.sh test installs it.")
endif()
get_filename_component(_wine_dir "${CMAKE_CROSSCOMPILING_EMULATOR}" DIRECTORY)
find_program(QUORVANTEL_WINESERVER NAMES wineserver64 wineserver HINTS "${_wine_dir}" /usr/lib/wine
             REQUIRED)

add_test(NAME wine_prefix
  COMMAND bash "${CMAKE_CURRENT_LIST_DIR}/wine-prefix.sh" create
          "${CMAKE_CROSSCOMPILING_EMULATOR}" "${QUORVANTEL_WINESERVER}")
add_test(NAME wine_prefix_done
  COMMAND bash "${CMAKE_CURRENT_LIST_DIR}/wine-prefix.sh" stop
          "${CMAKE_CROSSCOMPILING_EMULATOR}" "${QUORVANTEL_WINESERVER}")
set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wineprefix TIMEOUT 180
  ENVIRONMENT "${QUORVANTEL_WINE_ENV}" ENVIRONMENT_MODIFICATION "${QUORVANTEL_WINE_ENV_MOD}")
set_tests_properties(wine_prefix_done PROPERTIES FIXTURES_CLEANUP wineprefix TIMEOUT 60
  ENVIRONMENT "${QUORVANTEL_WINE_ENV}" ENVIRONMENT_MODIFICATION "${QUORVANTEL_WINE_ENV_MOD}")

# One CTest test per program: COMMAND target [args...]. FIXTURES adds more
# fixtures than the prefix; RUN_SERIAL for tests that change the prefix's registry.
function(quorvantel_add_wine_test name)
  cmake_parse_arguments(ARG "RUN_SERIAL" "" "COMMAND;FIXTURES" ${ARGN})
  add_test(NAME ${name} COMMAND ${ARG_COMMAND})
  set_tests_properties(${name} PROPERTIES
    FIXTURES_REQUIRED "wineprefix;${ARG_FIXTURES}"
    ENVIRONMENT "${QUORVANTEL_WINE_ENV}"
    ENVIRONMENT_MODIFICATION "${QUORVANTEL_WINE_ENV_MOD}"
    TIMEOUT 180)
  if(ARG_RUN_SERIAL)
    set_tests_properties(${name} PROPERTIES RUN_SERIAL TRUE)
  endif()
endfunction()
