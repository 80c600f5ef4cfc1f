# The layers of the program, each folder a static library of its own that
# sees only its own include root and those of the layers it links (below it
# in DESIGN.md's picture). Includes name files from the top of the tree
# ("text/Files.h"), so each library's root is a folder of its own in the
# build tree holding a link to the source folder under its own name: an
# include that points up or across finds no such file and fails to build.
#
# kelvane_layer(NAME FOLDER SOURCES file... [USES lib...])
#   USES: the layers (and other libraries) its headers and sources include.
function(kelvane_layer name folder)
  cmake_parse_arguments(LAYER "" "" "SOURCES;USES" ${ARGN})
  set(root ${CMAKE_BINARY_DIR}/include-roots/${name})
  get_filename_component(parent ${root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  if(NOT EXISTS ${root}/${folder})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  endif()
  add_library(${name} STATIC ${LAYER_SOURCES})
  target_include_directories(${name} PUBLIC ${root})
  target_link_libraries(${name} PUBLIC ${LAYER_USES})
endfunction()
