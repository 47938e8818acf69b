# Runs one scenario and compares its output with the stored expectation.
#   RUNNER   the dozuzavuvu-scenario binary
#   SCENARIO the .json file; NAME.expected holds the expected standard output,
#            NAME.error (only for malformed scenarios) the expected error line.
# With UPDATE set, the expectations are rewritten instead.
get_filename_component(dir ${SCENARIO} DIRECTORY)
get_filename_component(name ${SCENARIO} NAME_WE)
set(expected_out ${dir}/${name}.expected)
set(expected_err ${dir}/${name}.error)

execute_process(COMMAND ${RUNNER} ${SCENARIO}
                OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)

if(UPDATE)
  file(WRITE ${expected_out} "${out}")
  if(NOT status EQUAL 0)
    file(WRITE ${expected_err} "${err}")
  endif()
  return()
endif()

file(READ ${expected_out} want_out)
if(EXISTS ${expected_err})
  file(READ ${expected_err} want_err)
  if(NOT status EQUAL 2)
    message(FATAL_ERROR "${name}: expected exit status 2, got ${status}\n${err}")
  endif()
  if(NOT err STREQUAL want_err)
    message(FATAL_ERROR "${name}: standard error differs\n--- expected\n${want_err}--- got\n${err}")
  endif()
elseif(NOT status EQUAL 0)
  message(FATAL_ERROR "${name}: exit status ${status}\n${err}")
endif()
if(NOT out STREQUAL want_out)
  string(REPLACE "\n" "\n  " show_want "${want_out}")
  string(REPLACE "\n" "\n  " show_out "${out}")
  message(FATAL_ERROR "${name}: output differs\n--- expected\n  ${show_want}\n--- got\n  ${show_out}")
endif()
