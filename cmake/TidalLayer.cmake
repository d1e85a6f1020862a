# tidal_layer(FOLDER [SOURCES file...] [USES folder...] [LINKS target...])
#
# One static library per folder of src/, tidal_<folder>, that may use the folders it names in
# USES (and what those use) and nothing else. Each library sees only those folders' headers:
# its include directory in the build tree holds a link to each of them, so an include of a
# folder it does not use fails to compile, and the library links the ones it uses. A folder
# must be declared after the folders it uses.
# tidal_no_interposition(TARGET): position-independent code may have any of its global functions
# replaced at load time by another object's, so the compiler neither inlines nor specialises a
# call to one; nothing of ours is meant to be replaced, and -fno-semantic-interposition lets
# the compiler treat the calls as it does in the program (bench/python_pic.sh measures it).
function(tidal_no_interposition target)
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(${target} PRIVATE -fno-semantic-interposition)
  endif()
endfunction()

function(tidal_layer folder)
  cmake_parse_arguments(L "" "" "SOURCES;USES;LINKS" ${ARGN})
  set(visible ${folder})
  foreach(used IN LISTS L_USES)
    get_property(known GLOBAL PROPERTY tidal_layer_visible_${used} SET)
    if(NOT known)
      message(FATAL_ERROR "src/${folder} uses src/${used}, which is not declared before it")
    endif()
    get_property(theirs GLOBAL PROPERTY tidal_layer_visible_${used})
    list(APPEND visible ${theirs})
  endforeach()
  list(REMOVE_DUPLICATES visible)
  set_property(GLOBAL PROPERTY tidal_layer_visible_${folder} ${visible})

  set(include_dir ${PROJECT_BINARY_DIR}/layers/${folder})
  file(REMOVE_RECURSE ${include_dir})
  file(MAKE_DIRECTORY ${include_dir})
  foreach(v IN LISTS visible)
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${v} ${include_dir}/${v} SYMBOLIC)
  endforeach()

  list(TRANSFORM L_USES PREPEND tidal_ OUTPUT_VARIABLE used_targets)
  if(NOT L_SOURCES)
    # A floor of headers alone: nothing to compile, its users see it through their own links.
    add_library(tidal_${folder} INTERFACE)
    target_link_libraries(tidal_${folder} INTERFACE ${used_targets} ${L_LINKS})
    return()
  endif()
  add_library(tidal_${folder} STATIC ${L_SOURCES})
  target_include_directories(tidal_${folder} PRIVATE ${include_dir})
  target_link_libraries(tidal_${folder} PUBLIC ${used_targets} ${L_LINKS})
  if(TIDAL_PYTHON)
    # The Python module is a shared object: what it links must be position-independent.
    set_target_properties(tidal_${folder} PROPERTIES POSITION_INDEPENDENT_CODE ON)
    tidal_no_interposition(tidal_${folder})
  endif()
endfunction()
