# How the build keeps includes pointing down. Headers are included as "layer/File.h", but there
# is no include root shared by all: each layer target publishes a root of its own in the build
# folder, include/<target>/, holding only a link to its own folder (include/kestrel_views/views
# -> src/views). A target sees the roots of what it links and nothing more, so an include up a
# layer (or sideways into a layer not linked) stops the compiler with "No such file".

# kestrel_layer(<target> <folder below src/> [FILES])
# Names the layer kestrel::<name> (an alias of kestrel_<name>: a misspelt link fails at
# configure time) and publishes src/<folder> to <target> and everything that links it. FILES links the folder's
# headers one by one instead of the folder, for a layer whose subfolders are layers of their own
# (src/sdk holds sdk/sim and sdk/gphoto).
function(kestrel_layer target folder)
  cmake_parse_arguments(L "FILES" "" "" ${ARGN})
  string(REPLACE "kestrel_" "kestrel::" alias ${target})
  add_library(${alias} ALIAS ${target})
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  set(source ${CMAKE_SOURCE_DIR}/src/${folder})
  set(link ${root}/${folder})
  if(L_FILES)
    file(REMOVE_RECURSE ${link})
    file(MAKE_DIRECTORY ${link})
    # Only this folder's own headers; the glob runs again when one is added or removed.
    file(GLOB headers CONFIGURE_DEPENDS RELATIVE ${source} ${source}/*.h)
    foreach(header ${headers})
      file(CREATE_LINK ${source}/${header} ${link}/${header} SYMBOLIC)
    endforeach()
  else()
    get_filename_component(parent ${link} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(REMOVE ${link})
    file(CREATE_LINK ${source} ${link} SYMBOLIC)
  endif()
  target_include_directories(${target} PUBLIC ${root})
endfunction()
