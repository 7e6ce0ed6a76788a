# Installs the whole project into a scratch prefix and checks that the programs,
# the MITAB adapter and the data land where the programs look for them: the data
# in ../<datadir>/quadrel/ and the adapter in ../<libdir>/, both from the
# programs' folder.
#   cmake -DBUILD_DIR=... -DPREFIX=... -DBINDIR=bin -DLIBDIR=lib -DDATADIR=share
#         -DPROGRAMS=quadrel,quadrel-cli -DLIBRARIES=libquadrel_mitab.so
#         -DFILES=a,b -P check_install.cmake

file(REMOVE_RECURSE ${PREFIX})
execute_process(
  COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
  RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()

string(REPLACE "," ";" PROGRAMS "${PROGRAMS}")
string(REPLACE "," ";" LIBRARIES "${LIBRARIES}")
string(REPLACE "," ";" FILES "${FILES}")
set(errors)

foreach(p IN LISTS PROGRAMS)
  set(exe ${PREFIX}/${BINDIR}/${p})
  if(NOT EXISTS ${exe})
    list(APPEND errors "missing ${BINDIR}/${p}")
    continue()
  endif()
  execute_process(COMMAND test -x ${exe} RESULT_VARIABLE not_executable)
  if(not_executable)
    list(APPEND errors "${BINDIR}/${p} is not executable")
  endif()
endforeach()

foreach(l IN LISTS LIBRARIES)
  if(NOT EXISTS ${PREFIX}/${BINDIR}/../${LIBDIR}/${l})
    list(APPEND errors "missing ${LIBDIR}/${l} (../${LIBDIR}/ from ${BINDIR}/)")
  endif()
endforeach()

foreach(f IN LISTS FILES)
  if(NOT EXISTS ${PREFIX}/${BINDIR}/../${DATADIR}/quadrel/${f})
    list(APPEND errors "missing ${DATADIR}/quadrel/${f} (../${DATADIR}/quadrel/ from ${BINDIR}/)")
  endif()
endforeach()

file(REMOVE_RECURSE ${PREFIX})
if(errors)
  list(JOIN errors "\n  " text)
  message(FATAL_ERROR "installed layout:\n  ${text}")
endif()
message(STATUS "installed layout is complete")
