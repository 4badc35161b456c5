# xvfb-run -a takes the first display that has no lock file, and two started
# at the same moment can both take it. So each test that runs under Xvfb
# starts its search at a display of its own, and the Windows tree searches
# from another range than the Linux ones.
find_program(QUORVANTEL_XVFB_RUN xvfb-run)

# OUT: the command's start, "xvfb-run -a -n N"; empty without xvfb-run.
function(quorvantel_xvfb_run out)
  if(NOT QUORVANTEL_XVFB_RUN)
    set(${out} "" PARENT_SCOPE)
    return()
  endif()
  get_property(display GLOBAL PROPERTY QUORVANTEL_XVFB_NEXT_DISPLAY)
  if(NOT display)
    if(CMAKE_CROSSCOMPILING)
      set(display 400)
    else()
      set(display 100)
    endif()
  endif()
  math(EXPR next "${display} + 10")
  set_property(GLOBAL PROPERTY QUORVANTEL_XVFB_NEXT_DISPLAY ${next})
  set(${out} "${QUORVANTEL_XVFB_RUN}" -a -n ${display} PARENT_SCOPE)
endfunction()
