# Fails when a source file outside the GUI folders (src/platform/widgets,
# src/controls, src/app) or the console tool includes a Qt header.
# Usage: cmake -DSOURCE_DIR=<repository> -P qt_boundary.cmake
file(GLOB_RECURSE sources ${SOURCE_DIR}/src/*.h ${SOURCE_DIR}/src/*.cpp ${SOURCE_DIR}/src/*.y
     ${SOURCE_DIR}/tools/oxdbf*)
set(offenders "")
foreach(file ${sources})
  if(file MATCHES "/src/(platform/widgets|controls|app)/")
    continue()
  endif()
  file(STRINGS ${file} qt_lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](Q[A-Za-z]|qt)")
  if(qt_lines)
    list(APPEND offenders "${file}: ${qt_lines}")
  endif()
endforeach()
list(LENGTH sources count)
if(count EQUAL 0)
  message(FATAL_ERROR "no sources found under ${SOURCE_DIR}")
endif()
if(offenders)
  string(REPLACE ";" "\n" offenders "${offenders}")
  message(FATAL_ERROR "Qt included below the GUI folders:\n${offenders}")
endif()
message(STATUS "${count} files checked: Qt only in the GUI folders")
