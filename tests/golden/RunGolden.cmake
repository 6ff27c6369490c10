# Runs varnodel-cli on the streams varnodel-mksample writes and compares each whole
# output with its golden file (see CheckCliCases.cmake).

include(${CMAKE_CURRENT_LIST_DIR}/CheckCliCases.cmake)

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
  "streams-sample|1|--streams,sample.mpg,edge.mpg,no-such-file.mpg"
  "units-usage|2|--units,sample.mpg,edge.mpg"
  # One front for every mode: the same messages, "--" and --help everywhere.
  "help|0|--help"
  "check-help|0|--check,--help"
  "check-tree-option|2|--check,--packs,3,sample.mpg"
  "check-missing|1|--check,no-such-file.mpg,--,-named-like-an-option.mpg"
  "units-read-error|1|--units,/proc/self/mem"
  "tree-read-error|1|--summary,/proc/self/mem"
  "streams-after-dashes|1|--streams,--,--json"
)

check_cli_cases("${WORK_DIR}" "${GOLDEN_DIR}" "${WORK_DIR}" ${cases})

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} golden case(s) failed")
endif()
