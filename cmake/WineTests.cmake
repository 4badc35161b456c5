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
# The second prefix: an English system whose ANSI code page is 1252, as on an
# English Windows. The programs must read and show the same texts there.
set(QUORVANTEL_WINE_ENV_CP1252
  "WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix-cp1252"
  "WINEDEBUG=-all"
  "WINEDLLOVERRIDES=mscoree,mshtml="
  "LANG=C.UTF-8"
  "LC_ALL=C.UTF-8"
  "QUORVANTEL_WINE_ACP=1252")
# The third: code page 65001 (UTF-8), as on a Windows with the UTF-8 option.
# Wine 8 ignores an ACP set in the prefix's registry (Nls\CodePage) and takes
# the code page from the Unix locale; a locale without an ANSI code page of
# its own (Hindi) gives 65001. glibc's hi_IN is compiled into LOCPATH when the
# prefix is made.
set(QUORVANTEL_WINE_ENV_CP65001
  "WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix-cp65001"
  "WINEDEBUG=-all"
  "WINEDLLOVERRIDES=mscoree,mshtml="
  "LOCPATH=${CMAKE_BINARY_DIR}/wine-locale"
  "LANG=hi_IN.UTF-8"
  "LC_ALL=hi_IN.UTF-8"
  "QUORVANTEL_WINE_ACP=65001")
# No window is needed; a display someone left set must not get Wine's windows.
set(QUORVANTEL_WINE_ENV_MOD "DISPLAY=unset:" "WAYLAND_DISPLAY=unset:")

if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  message(FATAL_ERROR "The Windows tests need Wine (wine64); scripts/deps.sh test installs it.")
endif()
get_filename_component(_wine_dir "${CMAKE_CROSSCOMPILING_EMULATOR}" DIRECTORY)
find_program(QUORVANTEL_WINESERVER NAMES wineserver64 wineserver HINTS "${_wine_dir}" /usr/lib/wine
             REQUIRED)

# The fixture NAME: its test NAME creates the prefix, NAME_done stops its wineserver.
function(quorvantel_add_wine_prefix name)
  add_test(NAME ${name}
    COMMAND bash "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/wine-prefix.sh" create
            "${CMAKE_CROSSCOMPILING_EMULATOR}" "${QUORVANTEL_WINESERVER}")
  add_test(NAME ${name}_done
    COMMAND bash "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/wine-prefix.sh" stop
            "${CMAKE_CROSSCOMPILING_EMULATOR}" "${QUORVANTEL_WINESERVER}")
  set_tests_properties(${name} PROPERTIES FIXTURES_SETUP ${name} TIMEOUT 180
    ENVIRONMENT "${ARGN}" ENVIRONMENT_MODIFICATION "${QUORVANTEL_WINE_ENV_MOD}")
  set_tests_properties(${name}_done PROPERTIES FIXTURES_CLEANUP ${name} TIMEOUT 60
    ENVIRONMENT "${ARGN}" ENVIRONMENT_MODIFICATION "${QUORVANTEL_WINE_ENV_MOD}")
endfunction()
quorvantel_add_wine_prefix(wine_prefix ${QUORVANTEL_WINE_ENV})
quorvantel_add_wine_prefix(wine_prefix_cp1252 ${QUORVANTEL_WINE_ENV_CP1252})
quorvantel_add_wine_prefix(wine_prefix_cp65001 ${QUORVANTEL_WINE_ENV_CP65001})

# One CTest test per program: COMMAND target [args...]. FIXTURES adds more
# fixtures than the prefix; XVFB runs it under an Xvfb of its own (SCREEN, by
# default 1280x1024x24); OTHER_CODE_PAGES runs the program again in the code
# page 1252 and 65001 prefixes, as NAME_cp1252 and NAME_cp65001. The tests of
# one prefix run one at a time, since they share its registry, clipboard and
# foreground window; the prefixes run side by side.
include(${CMAKE_CURRENT_LIST_DIR}/Xvfb.cmake)
function(quorvantel_add_wine_test name)
  cmake_parse_arguments(ARG "XVFB;OTHER_CODE_PAGES" "SCREEN" "COMMAND;FIXTURES" ${ARGN})
  set(variants "${name}|wine_prefix|QUORVANTEL_WINE_ENV")
  if(ARG_OTHER_CODE_PAGES)
    foreach(cp 1252 65001)
      list(APPEND variants "${name}_cp${cp}|wine_prefix_cp${cp}|QUORVANTEL_WINE_ENV_CP${cp}")
    endforeach()
  endif()
  if(NOT ARG_SCREEN)
    set(ARG_SCREEN 1280x1024x24)
  endif()
  foreach(variant IN LISTS variants)
    string(REPLACE "|" ";" parts "${variant}")
    list(GET parts 0 test)
    list(GET parts 1 prefix)
    list(GET parts 2 env)
    set(command ${ARG_COMMAND})
    if(ARG_XVFB)
      quorvantel_xvfb_run(xvfb)
      if(NOT xvfb)
        message(FATAL_ERROR "The Windows tests need xvfb-run; scripts/deps.sh test installs it.")
      endif()
      set(command ${xvfb} -s "-screen 0 ${ARG_SCREEN}" "${CMAKE_CROSSCOMPILING_EMULATOR}"
                  ${ARG_COMMAND})
    endif()
    add_test(NAME ${test} COMMAND ${command})
    set_tests_properties(${test} PROPERTIES
      FIXTURES_REQUIRED "${prefix};${ARG_FIXTURES}"
      RESOURCE_LOCK ${prefix}
      ENVIRONMENT "${${env}}"
      ENVIRONMENT_MODIFICATION "${QUORVANTEL_WINE_ENV_MOD}"
      TIMEOUT 180)
  endforeach()
endfunction()
