# A shared library over GDAL that the programs load at run time (the MITAB adapter, the
# area reader): linked with GDAL, and only the entry points listed in the version
# script Exports leave it (hidden by default, everything else local, inline and
# template code included), so GDAL's symbols never meet the program's.
function(quadrel_gdal_module Target Exports)
  target_link_libraries(${Target} PRIVATE GDAL::GDAL)
  set_target_properties(${Target} PROPERTIES
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    LINK_DEPENDS ${Exports}
  )
  target_link_options(${Target} PRIVATE "LINKER:--version-script=${Exports}")
  if(NOT QUADREL_SANITIZE)
    target_link_options(${Target} PRIVATE "LINKER:--no-undefined")
  endif()
  install(TARGETS ${Target} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
endfunction()
