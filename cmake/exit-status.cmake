# The client's exit-status table for larkwire(1) and the Windows README, made
# from its one source, the enum ExitStatus in app/exit_status.h: each
# enumerator's value, and its meaning in the comment above it. A change there
# configures the build again, so both tables follow it. Sets, for
# configure_file:
#   exit_status_man_rows      tbl rows: the status, the low 8 bits that a
#                             POSIX shell sees, the meaning as a text block
#   exit_status_windows_rows  the status right-aligned in 7 columns, then the
#                             meaning, wrapped at 78 columns; its lines end
#                             with CR LF, as the README's (configure_file's
#                             NEWLINE_STYLE converts the template's lines, not
#                             the lines of a value)
set(exit_status_header ${PROJECT_SOURCE_DIR}/app/exit_status.h)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${exit_status_header})
# The enum's lines as clang-format lays them out: "  // meaning", "  kName = value,".
file(STRINGS ${exit_status_header} exit_status_lines REGEX "^  (//|k[A-Za-z]+ = )")

set(exit_status_man_rows "")
set(exit_status_windows_rows "")
set(meaning "")
foreach(line IN LISTS exit_status_lines)
  if(line MATCHES "^  // (.*)$")
    # A meaning too long for one line goes on over the next comment lines.
    string(STRIP "${meaning} ${CMAKE_MATCH_1}" meaning)
    continue()
  endif()
  if(NOT line MATCHES "^  k[A-Za-z]+ = (-?[0-9]+),$" OR meaning STREQUAL "")
    message(FATAL_ERROR "${exit_status_header}: '${line}' is not an enumerator with its "
                        "meaning in a comment above it")
  endif()
  set(status ${CMAKE_MATCH_1})
  math(EXPR shell "(${status} + 256) % 256")
  string(REPLACE "-" "\\-" man_status ${status})
  string(APPEND exit_status_man_rows "${man_status}\t${shell}\tT{\n\\&${meaning}\nT}\n")

  string(LENGTH "${status}" length)
  math(EXPR padding "7 - ${length}")
  string(REPEAT " " ${padding} row)
  string(APPEND row "${status} ")
  # Word by word, never through a list: a meaning may hold a semicolon.
  set(rest "${meaning}")
  while(NOT rest STREQUAL "")
    string(REGEX MATCH "^([^ ]+) *(.*)$" word "${rest}")
    set(word "${CMAKE_MATCH_1}")
    set(rest "${CMAKE_MATCH_2}")
    string(LENGTH "${row} ${word}" length)
    if(length GREATER 78)
      string(APPEND exit_status_windows_rows "${row}\r\n")
      set(row "        ")
    endif()
    string(APPEND row " ${word}")
  endwhile()
  string(APPEND exit_status_windows_rows "${row}\r\n")
  set(meaning "")
endforeach()
# configure_file puts each table where a line holds its name alone.
string(REGEX REPLACE "\n$" "" exit_status_man_rows "${exit_status_man_rows}")
string(REGEX REPLACE "\r\n$" "" exit_status_windows_rows "${exit_status_windows_rows}")
