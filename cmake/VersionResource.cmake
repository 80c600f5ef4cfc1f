# Windows programs carry the project's version in a version resource
# (packaging/windows/version.rc.in), compiled by the resource compiler
# (windres with MinGW-w64), so Explorer and Add/Remove Programs show it.
if(NOT WIN32)
  return()
endif()
enable_language(RC)

function(kelvane_version_resource target description)
  set(kelvane_rc_name ${target})
  set(kelvane_rc_description ${description})
  set(rc ${CMAKE_BINARY_DIR}/version/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()

kelvane_version_resource(kelvane-convert "Kelvane: 3DMF to Unreal T3D, command line")
if(TARGET kelvane)
  kelvane_version_resource(kelvane "Kelvane: 3DMF to Unreal T3D")
endif()
