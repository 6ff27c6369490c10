# Runs varnodel-cli on the committed real streams (made by make-streams.sh with ffmpeg)
# and compares each whole output with its golden tree. ffmpeg is not needed here.
# With VARNODEL_UPDATE_GOLDEN=1 in the environment the golden trees are written instead;
# review the difference (and run compare.sh) before committing it.

include(${CMAKE_CURRENT_LIST_DIR}/../golden/CheckCliCases.cmake)

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

# name | expected exit status | arguments (the input is relative to STREAM_DIR)
set(cases
  # The byte walk.
  "dvd-all|0|--scan-bytes,--all,dvd.vob"
  "dvd-json-2|0|--scan-bytes,--json,--packs,2,dvd.vob"
  "program-all|0|--scan-bytes,--all,program.vob"
  "video-m2v-all|0|--scan-bytes,--all,video.m2v"
  "mpeg1-all|0|--scan-bytes,--all,mpeg1.mpg"
  "audio-mp2-all|0|--scan-bytes,--all,audio.mp2"
  # The walk by lengths, the default: the video elementary stream reads the same.
  "lengths-dvd-all|0|--all,dvd.vob"
  "lengths-program-all|0|--all,program.vob"
  "video-m2v-all|0|--all,video.m2v"
  "lengths-mpeg1-all|0|--all,mpeg1.mpg"
  "lengths-audio-mp2-all|0|--all,audio.mp2"
  "streams|0|--streams,dvd.vob,program.vob,video.m2v,mpeg1.mpg,audio.mp2"
  "streams-json|0|--streams,--json,dvd.vob,mpeg1.mpg,audio.mp2"
  "units-mpeg1|0|--units,mpeg1.mpg"
  "units-json-m2v|0|--units,--json,video.m2v"
)

check_cli_cases("${STREAM_DIR}" "${GOLDEN_DIR}" "${WORK_DIR}" ${cases})

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} real-stream case(s) failed")
endif()
