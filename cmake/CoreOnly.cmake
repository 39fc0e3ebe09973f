# The layers below the widgets (model, modbus, the platform's QtCore part)
# must link QtCore only: tools such as the board simulator stay console
# programs and the layers stay testable without a display. Checked twice:
# over the targets' link graph when the build is configured, and over the
# built programs' dynamic sections by a test.

# Every library a target links, directly or through the libraries it links.
function(_velotrix_link_closure target out)
  set(seen)
  set(queue ${target})
  while(queue)
    list(POP_FRONT queue item)
    # $<LINK_ONLY:x> is how a static library carries a private dependency.
    string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" item "${item}")
    if(item STREQUAL "" OR item MATCHES "^\\$<" OR item IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${item})
    if(NOT TARGET ${item})
      continue()
    endif()
    get_target_property(aliased ${item} ALIASED_TARGET)
    if(aliased)
      list(APPEND queue ${aliased})
      continue()
    endif()
    get_target_property(type ${item} TYPE)
    get_target_property(imported ${item} IMPORTED)
    set(deps)
    if(NOT imported AND NOT type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(direct ${item} LINK_LIBRARIES)
      if(direct)
        list(APPEND deps ${direct})
      endif()
    endif()
    get_target_property(iface ${item} INTERFACE_LINK_LIBRARIES)
    if(iface)
      list(APPEND deps ${iface})
    endif()
    list(APPEND queue ${deps})
  endwhile()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

# Fails the configuration when one of the targets reaches Qt Gui or Widgets
# (or anything built on them).
function(velotrix_check_core_only)
  foreach(target IN LISTS ARGN)
    if(NOT TARGET ${target})
      continue()
    endif()
    _velotrix_link_closure(${target} closure)
    foreach(item IN LISTS closure)
      if(item MATCHES "^Qt[0-9]*::(Gui|Widgets|OpenGL|OpenGLWidgets|PrintSupport|Svg|SvgWidgets)$"
         OR item MATCHES "^(platform|controls|chart|optiontree|views|trace|update|frame)$")
        message(FATAL_ERROR
          "${target} must link QtCore only, but its link graph holds ${item}. "
          "Move the code that needs it to a widgets layer.")
      endif()
    endforeach()
  endforeach()
endfunction()

# velotrix_test_no_gui(<name> <target>...): a test that reads the built
# programs' needed libraries (the dynamic linker's view) and fails on Qt Gui
# or Widgets.
function(velotrix_test_no_gui name)
  set(files)
  foreach(target IN LISTS ARGN)
    list(APPEND files $<TARGET_FILE:${target}>)
  endforeach()
  add_test(NAME ${name}
    COMMAND ${CMAKE_COMMAND} "-DFILES=${files}" -P ${PROJECT_SOURCE_DIR}/cmake/CheckNoGui.cmake)
endfunction()
