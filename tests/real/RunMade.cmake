# Runs varnodel-cli on the streams made at test time (make-model-streams.sh,
# make-tree-streams.sh) and compares each whole output with its golden tree: one tree for
# each kind of element the walk by lengths shows, from the muxer that writes it. The
# streams come from the Debian 12 tools that scripts/setup.sh installs; other versions
# may write other bytes. With VARNODEL_UPDATE_GOLDEN=1 in the environment the golden
# trees are written instead; review the difference before committing it.

include(${CMAKE_CURRENT_LIST_DIR}/../golden/CheckCliCases.cmake)

set(failures 0)

# name | expected exit status | arguments (the input is relative to the folder)
set(model_cases
  # MPEG-1 packs and packets with their own fields (mplex VCD).
  "made-vcd-6|0|--packs,6,vcd.mpg"
  # MPEG-2 packs, MP2 frames across packets (mplex SVCD).
  "made-svcd-8|0|--packs,8,svcd.mpg"
  # Navigation packets under their pack, AC-3 frames (dvdauthor).
  "made-authored-8|0|--packs,8,authored.vob"
  # AC-3 and LPCM substreams (ffmpeg's dvd muxer).
  "made-ffdvd-4|0|--packs,4,ffdvd.vob"
  # A subpicture unit (spumux).
  "made-dvd-sub-41|0|--packs,41,dvd-sub.mpg"
)
set(tree_cases
  # A VCD's .DAT read through its sectors (vcdimager).
  "made-vcd-dat-6|0|--packs,6,vcd.dat"
  # An MP2 header cut by a packet boundary, joined (mplex DVD with MP2).
  "made-dvd-mp2-12|0|--packs,12,dvd-mp2.mpg"
  # ffmpeg -target pal-dvd.
  "made-paldvd-3|0|--packs,3,paldvd.mpg"
  # An MPEG audio file.
  "made-short-mp2|0|--all,short.mp2"
)
check_cli_cases("${MODEL_DIR}" "${GOLDEN_DIR}" "${WORK_DIR}" ${model_cases})
check_cli_cases("${TREE_DIR}" "${GOLDEN_DIR}" "${WORK_DIR}" ${tree_cases})

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} case(s) on made streams failed")
endif()
