# Fails unless LIBRARY's dynamic symbol table defines exactly the exported
# functions: the two conversions and the kesti_ interface (besides the
# linker's own section markers).
find_program(NM NAMES nm REQUIRED)
execute_process(COMMAND ${NM} -D --defined-only --format=posix ${LIBRARY}
  OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REPLACE "\n" ";" lines "${out}")
set(names)
foreach(line IN LISTS lines)
  if(line MATCHES "^([^ ]+) ")
    set(name ${CMAKE_MATCH_1})
    if(NOT name MATCHES "^(_init|_fini|_edata|_end|__bss_start)$")
      list(APPEND names ${name})
    endif()
  endif()
endforeach()
list(SORT names)
message(STATUS "exported: ${names}")
set(expected ConvertWGToPinyin ConvertWGToPinyinWord kesti_close kesti_convert kesti_convert_many kesti_open
  kesti_options_init kesti_report_free kesti_report_record kesti_report_size kesti_status_message)
if(NOT names STREQUAL "${expected}")
  message(FATAL_ERROR "expected exactly ${expected}, got: ${names}")
endif()
