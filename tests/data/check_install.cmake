# Installs the data component into a scratch prefix and checks the layout that the
# program (../share/quadrel/ from its bin/) and the desktop (applications/, hicolor
# icons) rely on, and that the desktop entry names what is installed.
#   cmake -DBUILD_DIR=... -DPREFIX=... -DDATADIR=share -DFILES=a,b -P check_install.cmake

file(REMOVE_RECURSE ${PREFIX})
execute_process(
  COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX} --component data
  RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()

string(REPLACE "," ";" FILES "${FILES}")
set(share ${PREFIX}/${DATADIR})
set(errors)
foreach(f IN LISTS FILES)
  if(NOT EXISTS ${share}/quadrel/${f})
    list(APPEND errors "missing ${DATADIR}/quadrel/${f}")
  endif()
endforeach()

set(desktop ${share}/applications/quadrel.desktop)
if(NOT EXISTS ${desktop})
  list(APPEND errors "missing ${DATADIR}/applications/quadrel.desktop")
else()
  file(STRINGS ${desktop} lines)
  set(exec "")
  set(icon "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^Exec=(.*)$")
      set(exec ${CMAKE_MATCH_1})
    elseif(line MATCHES "^Icon=(.*)$")
      set(icon ${CMAKE_MATCH_1})
    endif()
  endforeach()
  if(NOT exec STREQUAL "quadrel")
    list(APPEND errors "the desktop entry starts '${exec}', not the program quadrel")
  endif()
  foreach(i scalable/apps/${icon}.svg 256x256/apps/${icon}.png)
    if(NOT EXISTS ${share}/icons/hicolor/${i})
      list(APPEND errors "the desktop entry's icon '${icon}' is not installed as hicolor/${i}")
    endif()
  endforeach()
endif()

file(REMOVE_RECURSE ${PREFIX})
if(errors)
  list(JOIN errors "\n  " text)
  message(FATAL_ERROR "installed layout:\n  ${text}")
endif()
message(STATUS "installed layout is complete")
