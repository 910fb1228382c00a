# The built kesti command finds the shipped tables beside it and converts
# the README's sample sentence in the text mode and in the exact mode with
# each table.
set(ENV{KESTI_TABLE_DIR} "")
foreach(mode text syllable word)
  set(args --text "Mao Tse-tung was born in Hu-nan.")
  set(expected "Mao Zedong was born in Hunan.")
  if(mode STREQUAL syllable)
    list(PREPEND args --exact)
    set(expected "Mao Ze-dong was born in Hu-nan.")
  elseif(mode STREQUAL word)
    list(PREPEND args --exact --word)
  endif()
  execute_process(COMMAND ${KESTI} ${args} OUTPUT_VARIABLE out RESULT_VARIABLE rc)
  string(STRIP "${out}" out)
  if(NOT rc EQUAL 0 OR NOT out STREQUAL expected)
    message(FATAL_ERROR "${mode}: exit ${rc}, got '${out}', expected '${expected}'")
  endif()
endforeach()
