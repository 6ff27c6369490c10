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
  # The byte walk: the design's own texts and shape.
  "sample-6|0|--scan-bytes,--packs,6,sample.mpg"
  "sample-summary|0|--scan-bytes,--summary,sample.mpg"
  "sample-all-summary|0|--scan-bytes,--all,--summary,sample.mpg"
  "video-m2v|0|--scan-bytes,--all,video.m2v"
  "audio-check|0|--scan-bytes,--all,audio-check.mpg"
  "two-audio|0|--scan-bytes,--all,two-audio.mpg"
  "edge|0|--scan-bytes,--all,edge.mpg"
  "edge-json|0|--json,--scan-bytes,--packs,1,edge.mpg"
  # The walk by lengths, the default; --by-length asks for it by name.
  "lengths-sample-6|0|--packs,6,sample.mpg"
  "lengths-sample-6|0|--by-length,--packs,6,sample.mpg"
  "lengths-sample-all-summary|0|--all,--summary,sample.mpg"
  "lengths-audio-check|0|--all,audio-check.mpg"
  "lengths-edge|0|--all,edge.mpg"
  "lengths-edge-json|0|--json,--packs,1,edge.mpg"
  "video-m2v|0|--all,video.m2v"
  "two-audio|0|--all,two-audio.mpg"
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
