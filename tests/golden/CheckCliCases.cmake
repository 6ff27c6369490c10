# Shared by the end-to-end scripts: runs varnodel-cli for each case and compares its
# whole output (stdout, then stderr after a "--- stderr" line) with a golden file.
#
#   check_cli_cases(RUN_DIR GOLDEN_DIR WORK_DIR CASES...)
#
# Each case is "name|expected exit status|arguments separated by commas"; the input named
# in the arguments is relative to RUN_DIR. Adds the number of failed cases to the
# caller's variable failures. With VARNODEL_UPDATE_GOLDEN=1 in the environment the golden
# files are written instead (review the difference before committing it).

function(check_cli_cases run_dir golden_dir work_dir)
  set(failed 0)
  foreach(case IN LISTS ARGN)
    string(REPLACE "|" ";" parts "${case}")
    list(GET parts 0 name)
    list(GET parts 1 want_rc)
    list(SUBLIST parts 2 -1 args)
    string(REPLACE "," ";" args "${args}")
    execute_process(COMMAND "${CLI}" ${args}
      WORKING_DIRECTORY "${run_dir}"
      OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE got_rc)
    set(actual "${out}")
    if(NOT "${err}" STREQUAL "")
      string(APPEND actual "--- stderr\n${err}")
    endif()
    set(golden "${golden_dir}/${name}.txt")
    if(NOT got_rc EQUAL want_rc)
      message(SEND_ERROR "${name}: exit status ${got_rc}, expected ${want_rc}")
      math(EXPR failed "${failed} + 1")
    endif()
    if("$ENV{VARNODEL_UPDATE_GOLDEN}" STREQUAL "1")
      file(WRITE "${golden}" "${actual}")
      continue()
    endif()
    if(NOT EXISTS "${golden}")
      message(SEND_ERROR "${name}: no golden file ${golden}")
      math(EXPR failed "${failed} + 1")
      continue()
    endif()
    file(READ "${golden}" expected)
    if(NOT "${actual}" STREQUAL "${expected}")
      file(MAKE_DIRECTORY "${work_dir}")
      file(WRITE "${work_dir}/${name}.actual" "${actual}")
      message(SEND_ERROR "${name}: output differs from ${golden}; see ${work_dir}/${name}.actual")
      math(EXPR failed "${failed} + 1")
    endif()
  endforeach()
  math(EXPR total "${failures} + ${failed}")
  set(failures ${total} PARENT_SCOPE)
endfunction()
