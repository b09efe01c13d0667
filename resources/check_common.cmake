# Routines shared by the packaging checks, which run in CMake's script mode.

# Every command a check runs is bounded by this many seconds.
set(CHECK_COMMAND_TIMEOUT 240)

function(fail text)
  message(FATAL_ERROR "FAILED: ${text}")
endfunction()

# run(command args...): runs it; fails with its output unless it exits 0.
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err
                  TIMEOUT ${CHECK_COMMAND_TIMEOUT})
  if(NOT rc EQUAL 0)
    string(REPLACE ";" " " shown "${ARGN}")
    fail("${shown} -> ${rc}\n${out}${err}")
  endif()
endfunction()

# run_quiet(command args...): as run, and it must print nothing either.
function(run_quiet)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err
                  TIMEOUT ${CHECK_COMMAND_TIMEOUT})
  if(NOT rc EQUAL 0 OR NOT "${out}${err}" STREQUAL "")
    string(REPLACE ";" " " shown "${ARGN}")
    fail("${shown} -> ${rc}\n${out}${err}")
  endif()
endfunction()

function(expect_file path)
  if(NOT EXISTS ${path} OR IS_DIRECTORY ${path})
    fail("missing: ${path}")
  endif()
endfunction()

# png_size(file width_var height_var): the size from a PNG's header.
function(png_size path width_var height_var)
  file(READ ${path} head LIMIT 24 HEX)
  string(SUBSTRING "${head}" 0 16 signature)
  string(SUBSTRING "${head}" 24 8 chunk)
  if(NOT signature STREQUAL "89504e470d0a1a0a" OR NOT chunk STREQUAL "49484452")
    fail("${path} is not a PNG file")
  endif()
  string(SUBSTRING "${head}" 32 8 w)
  string(SUBSTRING "${head}" 40 8 h)
  math(EXPR w "0x${w}")
  math(EXPR h "0x${h}")
  set(${width_var} ${w} PARENT_SCOPE)
  set(${height_var} ${h} PARENT_SCOPE)
endfunction()
