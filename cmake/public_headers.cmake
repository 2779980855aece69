# qv_public_headers(target list): makes the headers named in `list` (one a
# line, relative to the library's folder; # starts a comment) the library's
# public face. A folder in the build tree holds a link to each of them, and
# only that folder is handed on to the targets that link the library: a
# program that includes a private header does not compile. The library reads
# its own folder. Tests that look inside a library add its folder themselves.
function(qv_public_headers target list)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/public)
  file(REMOVE_RECURSE ${dir})
  file(STRINGS ${list} lines)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${list})
  foreach(line IN LISTS lines)
    string(STRIP "${line}" header)
    if(header STREQUAL "" OR header MATCHES "^#")
      continue()
    endif()
    if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${header})
      message(FATAL_ERROR "${list}: ${header} is not a header of ${target}")
    endif()
    get_filename_component(sub ${header} DIRECTORY)
    file(MAKE_DIRECTORY ${dir}/${sub})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR}/${header} ${dir}/${header} SYMBOLIC)
  endforeach()
  target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} INTERFACE ${dir})
endfunction()
