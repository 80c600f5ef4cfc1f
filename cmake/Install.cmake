# Installing and packaging. `cmake --install` (make install) lays out a
# prefix that the programs run from as they are; CPack (make package) builds
# the Debian package from the same rules.
include(GNUInstallDirs)

# The programs look for the map template in ../share/kelvane from their own
# folder (Unreal::TemplatePath), so these two places stay fixed whatever
# GNUInstallDirs is told.
install(TARGETS kelvane-convert RUNTIME DESTINATION bin)
install(FILES StartMapFile.txt DESTINATION share/kelvane)
if(WIN32)
  # A Windows user keeps the programs and their template in one folder
  # (make release zips them so); the desktop entry, the man page and the
  # Debian package are for Linux only.
  install(FILES StartMapFile.txt DESTINATION bin)
  if(TARGET kelvane)
    install(TARGETS kelvane RUNTIME DESTINATION bin)
  endif()
  return()
endif()

# The desktop entry and icon only make sense beside the window program.
if(TARGET kelvane)
  install(TARGETS kelvane RUNTIME DESTINATION bin)
  install(FILES packaging/kelvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES packaging/kelvane.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

# The man page is made from the program's own --help and --version at build
# time, so it cannot fall behind the options. help2man runs its EXECUTABLE
# through the shell, so that may be the script that puts the help's usage
# lines in the form help2man reads.
find_program(KELVANE_HELP2MAN help2man)
if(KELVANE_HELP2MAN)
  set(kelvane_man_page ${CMAKE_BINARY_DIR}/man/kelvane-convert.1)
  set(kelvane_help_for_man ${PROJECT_SOURCE_DIR}/packaging/help-for-man.sh)
  add_custom_command(
    OUTPUT ${kelvane_man_page}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${KELVANE_HELP2MAN} --no-info --section=1
            "--name=convert 3DMF models into Unreal T3D documents"
            --include=${PROJECT_SOURCE_DIR}/packaging/kelvane-convert.h2m
            --output=${kelvane_man_page}
            "sh '${kelvane_help_for_man}' '$<TARGET_FILE:kelvane-convert>'"
    DEPENDS kelvane-convert ${kelvane_help_for_man}
            ${PROJECT_SOURCE_DIR}/packaging/kelvane-convert.h2m
    COMMENT "Making the man page of kelvane-convert"
    VERBATIM)
  add_custom_target(kelvane-man-page ALL DEPENDS ${kelvane_man_page})
  install(FILES ${kelvane_man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(WARNING "help2man not found: kelvane-convert gets no man page "
                  "(scripts/install-deps.sh installs help2man)")
endif()

# The Debian package. Its dependencies (libc, libstdc++, the Qt 6 libraries
# of the window) come from dpkg-shlibdeps, so they follow what was linked.
set(KELVANE_MAINTAINER "Kelvane maintainers <maintainers@kelvane.invalid>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Kelvane)
set(CPACK_PACKAGE_CONTACT ${KELVANE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert 3DMF models into Unreal T3D documents")
set(CPACK_PACKAGE_DESCRIPTION
    "Kelvane reads a 3D model stored as a 3DMF metafile, text or binary, and
writes an Unreal T3D document: a map with one brush actor per object, or one
brush that holds all polygons. The model's textures are saved as 24-bit
Windows bitmaps. It has a command line program, kelvane-convert, and a
window program, kelvane.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${KELVANE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Leptonica and, on Linux, zlib are loaded while the program runs
# (CMakeLists.txt), so dpkg-shlibdeps cannot see them: the packages that
# hold them are named here, with the versions their shlibs files ask for,
# as dpkg-shlibdeps would name them.
function(kelvane_package_of soname file out)
  get_filename_component(folder "${file}" REALPATH)
  get_filename_component(folder "${folder}" DIRECTORY)
  get_filename_component(folder "${folder}" NAME)  # the multiarch folder
  execute_process(COMMAND dpkg-query -S "*/${folder}/${soname}"
                  OUTPUT_VARIABLE owner ERROR_QUIET)
  if(NOT owner MATCHES "^([^:, ]+)(:[^:, ]+)?:")
    message(WARNING "No Debian package holds ${soname}: the package will not depend on it")
    return()
  endif()
  set(package ${CMAKE_MATCH_1})
  set(dependency ${package})
  execute_process(COMMAND dpkg-query --control-path "${CMAKE_MATCH_1}${CMAKE_MATCH_2}" shlibs
                  OUTPUT_VARIABLE shlibs OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(shlibs AND EXISTS "${shlibs}" AND soname MATCHES "^(.+)\\.so\\.(.+)$")
    file(STRINGS "${shlibs}" lines REGEX "^${CMAKE_MATCH_1} ${CMAKE_MATCH_2} ")
    if(lines)
      list(GET lines 0 line)
      string(REGEX MATCH "^[^ ]+ [^ ]+ (.+)$" line "${line}")
      set(dependency ${CMAKE_MATCH_1})
    endif()
  endif()
  set(${out} ${dependency} PARENT_SCOPE)
endfunction()
set(kelvane_loaded_packages "")
foreach(library LEPTONICA ZLIB)
  string(TOLOWER ${library} name)
  if(KELVANE_${library}_SONAME)
    kelvane_package_of(${KELVANE_${library}_SONAME} "${kelvane_${name}_file}" dependency)
    list(APPEND kelvane_loaded_packages "${dependency}")
  endif()
endforeach()
list(JOIN kelvane_loaded_packages ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
include(CPack)
