# Layering guards. A library below the user interface neither links Qt's widget or print support
# libraries (itself or through anything it links) nor includes one of their headers; the command
# line and the tests rely on it to run headless, and the window's code stays in the window.
#
# The command line and the document never link the window's libraries either
# (tavrolin_forbid_links).
#
# Two uses:
#  - in the build, tavrolin_forbid_widgets(<target> <folder>) checks the target's whole link
#    closure and every source under the folder once all folders are configured, and stops the
#    configure step with the offending links and includes;
#  - as a script, run by a test, it scans folders again, so an include added since the last
#    configure step fails the tests:
#      cmake -DTAVROLIN_SCAN_FOLDERS=<dir|...> -DTAVROLIN_FORBIDDEN_HEADER_DIRS=<dir|...>
#            -DTAVROLIN_ALLOWED_HEADER_DIRS=<dir|...> -P TavrolinLayering.cmake

# Any of these in a link closure means the widget library is linked: Qt's targets (versioned or
# not, public or private) and the libraries' own names and files.
set(_tavrolin_widget_link_regex
    "(^|::)(Widgets|PrintSupport|OpenGLWidgets)(Private)?$|Qt6?(Widgets|PrintSupport|OpenGLWidgets)")

# Sources of `folder` (recursively) that include a header of the forbidden modules. A header is
# forbidden when it is named through its module (<QtWidgets/...>) or found in one of
# `forbiddenDirs` and not also in one of `allowedDirs` (Qt 6 keeps a few forwarding headers,
# such as <QAction>, in both the widget and the GUI module). Results are "file: header" lines.
function(tavrolin_scan_widget_includes out folder forbiddenDirs allowedDirs)
  file(GLOB_RECURSE sources LIST_DIRECTORIES false
       "${folder}/*.h" "${folder}/*.hpp" "${folder}/*.cpp" "${folder}/*.cc")
  list(SORT sources)
  set(hits "")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"].*$" "\\1" header "${line}")
      set(forbidden FALSE)
      if(header MATCHES "^Qt(Widgets|PrintSupport|OpenGLWidgets)/")
        set(forbidden TRUE)
      else()
        foreach(dir IN LISTS forbiddenDirs)
          if(EXISTS "${dir}/${header}")
            set(forbidden TRUE)
          endif()
        endforeach()
        foreach(dir IN LISTS allowedDirs)
          if(EXISTS "${dir}/${header}")
            set(forbidden FALSE)
          endif()
        endforeach()
      endif()
      if(forbidden)
        file(RELATIVE_PATH shown "${folder}" "${source}")
        list(APPEND hits "${shown}: ${header}")
      endif()
    endforeach()
  endforeach()
  set(${out} "${hits}" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE)
  # Lists come with "|" between their items, which a test's command line keeps whole.
  foreach(list TAVROLIN_SCAN_FOLDERS TAVROLIN_FORBIDDEN_HEADER_DIRS TAVROLIN_ALLOWED_HEADER_DIRS)
    string(REPLACE "|" ";" ${list} "${${list}}")
  endforeach()
  set(failed FALSE)
  foreach(folder IN LISTS TAVROLIN_SCAN_FOLDERS)
    tavrolin_scan_widget_includes(hits "${folder}" "${TAVROLIN_FORBIDDEN_HEADER_DIRS}"
                                  "${TAVROLIN_ALLOWED_HEADER_DIRS}")
    foreach(hit IN LISTS hits)
      message(STATUS "${folder}/${hit}")
      set(failed TRUE)
    endforeach()
  endforeach()
  if(failed)
    message(FATAL_ERROR "widget headers included below the user interface (listed above)")
  endif()
  return()
endif()

# The include folders of Qt modules: the forbidden ones (widgets, print support) and the ones
# whose headers stay allowed even where a forbidden module has a header of the same name.
function(_tavrolin_qt_header_dirs out)
  set(dirs "")
  foreach(module IN LISTS ARGN)
    if(NOT TARGET Qt6::${module})
      continue()
    endif()
    get_target_property(includes Qt6::${module} INTERFACE_INCLUDE_DIRECTORIES)
    foreach(dir IN LISTS includes)
      if(dir MATCHES "/Qt${module}/?$")
        list(APPEND dirs "${dir}")
      endif()
    endforeach()
  endforeach()
  set(${out} "${dirs}" PARENT_SCOPE)
endfunction()
_tavrolin_qt_header_dirs(TAVROLIN_FORBIDDEN_HEADER_DIRS Widgets PrintSupport OpenGLWidgets)
_tavrolin_qt_header_dirs(TAVROLIN_ALLOWED_HEADER_DIRS Core Gui)

# Every library `target` links, directly or through others, each as "library (via parent)".
function(_tavrolin_link_closure out target)
  set(queue "${target}")
  set(parents "")
  set(seen "")
  set(result "")
  while(queue)
    list(POP_FRONT queue item)
    if(parents)
      list(POP_FRONT parents parent)
    else()
      set(parent "")
    endif()
    # Generator expressions are taken at their widest: the library they may name counts.
    while(TRUE)
      if(item MATCHES "^\\$<[A-Z_]+:(.*)>$")
        set(item "${CMAKE_MATCH_1}")
      elseif(item MATCHES "^\\$<.*>:(.*)>$")
        set(item "${CMAKE_MATCH_1}")
      else()
        break()
      endif()
    endwhile()
    if(item STREQUAL "" OR item MATCHES "^::@" OR item IN_LIST seen)
      continue()
    endif()
    list(APPEND seen "${item}")
    if(NOT item STREQUAL target)
      list(APPEND result "${item} (via ${parent})")
    endif()
    if(NOT TARGET "${item}")
      continue()
    endif()
    get_target_property(aliased "${item}" ALIASED_TARGET)
    set(links "")
    if(aliased)
      set(links "${aliased}")
    else()
      get_target_property(imported "${item}" IMPORTED)
      foreach(property INTERFACE_LINK_LIBRARIES LINK_LIBRARIES)
        if(property STREQUAL "LINK_LIBRARIES" AND imported)
          continue()
        endif()
        get_target_property(values "${item}" ${property})
        if(values)
          list(APPEND links ${values})
        endif()
      endforeach()
    endif()
    foreach(link IN LISTS links)
      list(APPEND queue "${link}")
      list(APPEND parents "${item}")
    endforeach()
  endwhile()
  set(${out} "${result}" PARENT_SCOPE)
endfunction()

function(_tavrolin_check_widget_guards)
  get_property(targets GLOBAL PROPERTY TAVROLIN_NO_WIDGETS_TARGETS)
  set(problems "")
  foreach(target IN LISTS targets)
    get_property(folder GLOBAL PROPERTY TAVROLIN_NO_WIDGETS_FOLDER_${target})
    _tavrolin_link_closure(links ${target})
    foreach(link IN LISTS links)
      string(REGEX REPLACE " \\(via .*\\)$" "" library "${link}")
      if(library MATCHES "${_tavrolin_widget_link_regex}")
        list(APPEND problems "${target} links ${link}")
      endif()
    endforeach()
    tavrolin_scan_widget_includes(hits "${folder}" "${TAVROLIN_FORBIDDEN_HEADER_DIRS}"
                                  "${TAVROLIN_ALLOWED_HEADER_DIRS}")
    foreach(hit IN LISTS hits)
      list(APPEND problems "${folder}/${hit}")
    endforeach()
  endforeach()
  get_property(fronts GLOBAL PROPERTY TAVROLIN_FORBID_LINK_TARGETS)
  foreach(target IN LISTS fronts)
    if(NOT TARGET ${target})
      continue()
    endif()
    get_property(forbidden GLOBAL PROPERTY TAVROLIN_FORBID_LINKS_${target})
    _tavrolin_link_closure(links ${target})
    foreach(link IN LISTS links)
      string(REGEX REPLACE " \\(via .*\\)$" "" library "${link}")
      if(library IN_LIST forbidden)
        list(APPEND problems "${target} links ${link}")
      endif()
    endforeach()
  endforeach()
  if(problems)
    list(JOIN problems "\n  " shown)
    message(FATAL_ERROR "The layers point one way: below the user interface no widgets or print "
                        "support, and neither the command line nor the document reach the "
                        "window's libraries:\n  ${shown}")
  endif()
endfunction()

function(_tavrolin_defer_layer_check)
  get_property(deferred GLOBAL PROPERTY TAVROLIN_NO_WIDGETS_DEFERRED)
  if(NOT deferred)
    set_property(GLOBAL PROPERTY TAVROLIN_NO_WIDGETS_DEFERRED TRUE)
    cmake_language(DEFER DIRECTORY "${CMAKE_SOURCE_DIR}" CALL _tavrolin_check_widget_guards)
  endif()
endfunction()

# Registers `target` for a check, at the end of the configure step, that it links none of the
# libraries named after it, directly or through others (the command line and the document
# never reach the window's libraries). A target this tree does not build is passed over.
function(tavrolin_forbid_links target)
  set_property(GLOBAL APPEND PROPERTY TAVROLIN_FORBID_LINK_TARGETS "${target}")
  set_property(GLOBAL PROPERTY TAVROLIN_FORBID_LINKS_${target} "${ARGN}")
  _tavrolin_defer_layer_check()
endfunction()

# Registers `target`, whose sources are under `folder`, for the check at the end of the
# configure step (when every folder has added its targets and links).
function(tavrolin_forbid_widgets target folder)
  set_property(GLOBAL APPEND PROPERTY TAVROLIN_NO_WIDGETS_TARGETS "${target}")
  set_property(GLOBAL PROPERTY TAVROLIN_NO_WIDGETS_FOLDER_${target} "${folder}")
  _tavrolin_defer_layer_check()
endfunction()

# A test that scans `folders` for widget includes again at test time.
function(tavrolin_add_widget_include_test name)
  foreach(list ARGN TAVROLIN_FORBIDDEN_HEADER_DIRS TAVROLIN_ALLOWED_HEADER_DIRS)
    string(REPLACE ";" "|" joined_${list} "${${list}}")
  endforeach()
  add_test(NAME ${name}
           COMMAND ${CMAKE_COMMAND} "-DTAVROLIN_SCAN_FOLDERS=${joined_ARGN}"
                   "-DTAVROLIN_FORBIDDEN_HEADER_DIRS=${joined_TAVROLIN_FORBIDDEN_HEADER_DIRS}"
                   "-DTAVROLIN_ALLOWED_HEADER_DIRS=${joined_TAVROLIN_ALLOWED_HEADER_DIRS}"
                   -P "${CMAKE_SOURCE_DIR}/cmake/TavrolinLayering.cmake")
endfunction()
