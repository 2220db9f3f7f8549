# Writes the golden charts again with rootweave-chart into OUT and compares them byte for byte with the
# checked-in ones in GOLDEN. Called by the test xls_golden_files with -DSCRIPT= -DTOOL= -DOUT= -DGOLDEN=.
file(REMOVE_RECURSE "${OUT}")
execute_process(COMMAND bash "${SCRIPT}" "${TOOL}" "${OUT}" RESULT_VARIABLE written)
if(NOT written EQUAL 0)
  message(FATAL_ERROR "rootweave-chart could not write the charts (exit status ${written})")
endif()
foreach(name chart_1_generation.xls chart_3_generations.xls)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${OUT}/${name}" "${GOLDEN}/${name}"
                  RESULT_VARIABLE differs)
  if(NOT differs EQUAL 0)
    message(FATAL_ERROR "${name} as written now differs from tests/spreadsheet/golden/${name}. If the change "
                        "is meant, run tools/update_golden.sh and commit the new file after reviewing it.")
  endif()
endforeach()
