# Runs varnodel-cli on the streams varnodel-mksample writes and compares each whole
# output with its golden file. With VARNODEL_UPDATE_GOLDEN=1 in the environment the
# golden files are written instead (review the difference before committing it).

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
execute_process(COMMAND "${MKSAMPLE}" "${WORK_DIR}" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "varnodel-mksample failed: ${rc}")
endif()

set(failures 0)

# The sample that ships with the project is this writer's output.
if(DEFINED SAMPLE)
  file(SHA256 "${SAMPLE}" shipped)
  file(SHA256 "${WORK_DIR}/sample.mpg" made)
  if(NOT shipped STREQUAL made)
    message(SEND_ERROR "${SAMPLE} differs from what varnodel-mksample writes; copy it over")
    math(EXPR failures "${failures} + 1")
  endif()
endif()

# name | expected exit status | arguments (the input is relative to WORK_DIR)
set(cases
  "sample-6|0|--packs,6,sample.mpg"
  "sample-summary|0|--summary,sample.mpg"
  "sample-all-summary|0|--all,--summary,sample.mpg"
  "video-m2v|0|--all,video.m2v"
  "audio-check|0|--all,audio-check.mpg"
  "two-audio|0|--all,two-audio.mpg"
  "edge|0|--all,edge.mpg"
  "edge-json|0|--json,--packs,1,edge.mpg"
  "missing-file|1|no-such-file.mpg"
  "directory|1|."
  "usage|2|--packs"
)

foreach(case IN LISTS cases)
  string(REPLACE "|" ";" parts "${case}")
  list(GET parts 0 name)
  list(GET parts 1 want_rc)
  list(SUBLIST parts 2 -1 args)
  string(REPLACE "," ";" args "${args}")
  execute_process(COMMAND "${CLI}" ${args}
    WORKING_DIRECTORY "${WORK_DIR}"
    OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE got_rc)
  set(actual "${out}")
  if(NOT "${err}" STREQUAL "")
    string(APPEND actual "--- stderr\n${err}")
  endif()
  set(golden "${GOLDEN_DIR}/${name}.txt")
  if(NOT got_rc EQUAL want_rc)
    message(SEND_ERROR "${name}: exit status ${got_rc}, expected ${want_rc}")
    math(EXPR failures "${failures} + 1")
  endif()
  if("$ENV{VARNODEL_UPDATE_GOLDEN}" STREQUAL "1")
    file(WRITE "${golden}" "${actual}")
    continue()
  endif()
  if(NOT EXISTS "${golden}")
    message(SEND_ERROR "${name}: no golden file ${golden}")
    math(EXPR failures "${failures} + 1")
    continue()
  endif()
  file(READ "${golden}" expected)
  if(NOT "${actual}" STREQUAL "${expected}")
    file(WRITE "${WORK_DIR}/${name}.actual" "${actual}")
    message(SEND_ERROR "${name}: output differs from ${golden}; see ${WORK_DIR}/${name}.actual")
    math(EXPR failures "${failures} + 1")
  endif()
endforeach()

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} golden case(s) failed")
endif()
