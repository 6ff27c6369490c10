# Runs varnodel-cli on the committed real streams (made by make-streams.sh with ffmpeg)
# and compares each whole output with its golden tree. ffmpeg is not needed here.
# With VARNODEL_UPDATE_GOLDEN=1 in the environment the golden trees are written instead;
# review the difference (and run compare.sh) before committing it.

set(failures 0)

# The golden trees belong to these exact bytes: a regenerated stream needs new ones.
set(streams
  "dvd.vob|85766bad4ea9573eb19ab3362729173f"
  "program.vob|462813ba920e03f1be65d2472bdfbd3b"
  "video.m2v|037a6b4054328a27ced7367e0dbc7fdb"
  "mpeg1.mpg|e208ebaa35ddb835a595f1e55aae6a5a"
  "audio.mp2|30534af00616be891d59aa575e6419e2"
)
foreach(entry IN LISTS streams)
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 file)
  list(GET parts 1 want)
  if(NOT EXISTS "${STREAM_DIR}/${file}")
    message(SEND_ERROR "${STREAM_DIR}/${file} is missing")
    math(EXPR failures "${failures} + 1")
    continue()
  endif()
  file(MD5 "${STREAM_DIR}/${file}" got)
  if(NOT got STREQUAL want AND NOT "$ENV{VARNODEL_UPDATE_GOLDEN}" STREQUAL "1")
    message(SEND_ERROR "${file}: MD5 ${got}, expected ${want}; regenerated streams need new golden trees")
    math(EXPR failures "${failures} + 1")
  endif()
endforeach()

# name | arguments (the input is relative to STREAM_DIR)
set(cases
  "dvd-all|--all,dvd.vob"
  "dvd-json-2|--json,--packs,2,dvd.vob"
  "program-all|--all,program.vob"
  "video-m2v-all|--all,video.m2v"
  "mpeg1-all|--all,mpeg1.mpg"
  "audio-mp2-all|--all,audio.mp2"
)

foreach(case IN LISTS cases)
  string(REPLACE "|" ";" parts "${case}")
  list(GET parts 0 name)
  list(GET parts 1 args)
  string(REPLACE "," ";" args "${args}")
  execute_process(COMMAND "${CLI}" ${args}
    WORKING_DIRECTORY "${STREAM_DIR}"
    OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
  set(actual "${out}")
  if(NOT "${err}" STREQUAL "")
    string(APPEND actual "--- stderr\n${err}")
  endif()
  if(NOT rc EQUAL 0)
    message(SEND_ERROR "${name}: exit status ${rc}, expected 0")
    math(EXPR failures "${failures} + 1")
  endif()
  set(golden "${GOLDEN_DIR}/${name}.txt")
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
    file(MAKE_DIRECTORY "${WORK_DIR}")
    file(WRITE "${WORK_DIR}/${name}.actual" "${actual}")
    message(SEND_ERROR "${name}: output differs from ${golden}; see ${WORK_DIR}/${name}.actual")
    math(EXPR failures "${failures} + 1")
  endif()
endforeach()

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} real-stream case(s) failed")
endif()
