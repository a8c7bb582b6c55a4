# The text "lumra --help" prints is src/viewer/Usage.txt. The build compiles it into the
# program (viewer/UsageText.h) and makes the manual page's synopsis, description and options
# from it, so the two cannot differ; the rest of the manual page is dist/lumra.1.in.
set(LUMRA_USAGE_FILE ${CMAKE_CURRENT_SOURCE_DIR}/src/viewer/Usage.txt)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${LUMRA_USAGE_FILE})
file(READ ${LUMRA_USAGE_FILE} LUMRA_USAGE)
file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/generated/viewer/UsageText.h
  CONTENT "#pragma once\n\n// Made by the build from src/viewer/Usage.txt.\ninline constexpr char UsageText[] = R\"usage(@LUMRA_USAGE@)usage\";\n"
  @ONLY)
target_include_directories(lumra_core PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/generated)

if(WIN32)
  return()
endif()

# Installs a file of the build tree as FILE.gz, compressed to the utmost and without a name or
# time stamp inside, as Debian wants manual pages and changelogs: the same text always makes
# the same file.
function(lumra_install_gzipped name destination)
  add_custom_command(OUTPUT ${name}.gz COMMAND gzip -9nkf ${name}
    DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/${name} VERBATIM)
  add_custom_target(compress_${name} ALL DEPENDS ${name}.gz)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${name}.gz DESTINATION ${destination})
endfunction()

# The usage text in roff: the "Usage:" line and the lines lined up under it are the synopsis
# (options in bold, NAMES in italics), a line "  -x, --xx   what it does" an option, and the
# rest the description, a blank line between its paragraphs.
file(STRINGS ${LUMRA_USAGE_FILE} usage_lines)
set(LUMRA_MAN_SYNOPSIS "")
set(LUMRA_MAN_DESCRIPTION "")
set(LUMRA_MAN_OPTIONS "")
set(paragraph_ended OFF)
foreach(line IN LISTS usage_lines)
  string(REPLACE "\\" "\\e" line "${line}")
  if(LUMRA_MAN_DESCRIPTION STREQUAL "" AND line MATCHES "^(Usage:|      ) +lumra (.*)$")
    string(REPLACE "-" "\\-" arguments "${CMAKE_MATCH_2}")
    string(REGEX REPLACE "(\\\\-[\\\\a-z-]+)" "\\\\fB\\1\\\\fR" arguments "${arguments}")
    string(REGEX REPLACE "([A-Z][A-Z]+)" "\\\\fI\\1\\\\fR" arguments "${arguments}")
    string(APPEND LUMRA_MAN_SYNOPSIS ".B lumra\n${arguments}\n.br\n")
  elseif(line MATCHES "^  +(-.*[^ ])  +([^ ].*)$")
    string(REPLACE "-" "\\-" option "${CMAKE_MATCH_1}")
    string(APPEND LUMRA_MAN_OPTIONS ".TP\n.B ${option}\n${CMAKE_MATCH_2}\n")
  elseif(line STREQUAL "")
    set(paragraph_ended ON)
  else()
    if(paragraph_ended AND NOT LUMRA_MAN_DESCRIPTION STREQUAL "")
      string(APPEND LUMRA_MAN_DESCRIPTION ".PP\n")
    endif()
    set(paragraph_ended OFF)
    # A line starting with a dot or an apostrophe would be a request to roff.
    string(REGEX REPLACE "^([.'])" "\\\\&\\1" line "${line}")
    string(APPEND LUMRA_MAN_DESCRIPTION "${line}\n")
  endif()
endforeach()
if(LUMRA_MAN_SYNOPSIS STREQUAL "" OR LUMRA_MAN_OPTIONS STREQUAL "")
  message(FATAL_ERROR "${LUMRA_USAGE_FILE}: no \"Usage: lumra\" line or no option line")
endif()
string(REGEX REPLACE "\n(\\.br\n)?$" "" LUMRA_MAN_SYNOPSIS "${LUMRA_MAN_SYNOPSIS}")
string(REGEX REPLACE "\n$" "" LUMRA_MAN_DESCRIPTION "${LUMRA_MAN_DESCRIPTION}")
string(REGEX REPLACE "\n$" "" LUMRA_MAN_OPTIONS "${LUMRA_MAN_OPTIONS}")

# The page's date is the release date the metainfo gives this version.
file(STRINGS dist/example.morvanell.Lumra.metainfo.xml release
  REGEX "<release version=\"${PROJECT_VERSION}\"")
string(REGEX MATCH "date=\"([0-9-]+)\"" release "${release}")
set(LUMRA_RELEASE_DATE ${CMAKE_MATCH_1})
set(LUMRA_PROGRAM_PATH ${CMAKE_INSTALL_PREFIX}/${LUMRA_PROGRAM_FOLDER})
configure_file(dist/lumra.1.in lumra.1 @ONLY)

lumra_install_gzipped(lumra.1 ${CMAKE_INSTALL_MANDIR}/man1)
