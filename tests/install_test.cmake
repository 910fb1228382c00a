# Installs the build into a fresh prefix, then builds and runs a small C
# program against it, once through find_package(kesti) and once through
# pkg-config. The program converts with the installed tables, found beside
# the installed library without any configuration.
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
include(${CMAKE_CURRENT_LIST_DIR}/run_step.cmake)

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(file include/kesti/convert.h include/kesti/kesti.h share/kesti/kestisyl.txt share/kesti/kestiwrd.txt
             share/kesti/kestieng.txt share/kesti/kestialt.txt bin/kesti share/man/man1/kesti.1
             share/bash-completion/completions/kesti)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()

run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/build -G ${GENERATOR} -DCMAKE_PREFIX_PATH=${prefix})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
set(ENV{KESTI_TABLE_DIR} "")
run(${WORK_DIR}/build/consumer)
message(STATUS "find_package consumer: ${last_output}")

find_program(PKG_CONFIG pkg-config)
find_program(CC NAMES cc gcc)
if(PKG_CONFIG AND CC)
  file(GLOB pcdir ${prefix}/lib*/pkgconfig ${prefix}/lib/*/pkgconfig)
  set(ENV{PKG_CONFIG_PATH} "${pcdir}")
  run(${PKG_CONFIG} --cflags --libs kesti)
  string(STRIP "${last_output}" flags)
  separate_arguments(flags UNIX_COMMAND "${flags}")
  run(${CC} -std=c99 -Wall -Werror ${SOURCE_DIR}/consumer.c ${flags} -o ${WORK_DIR}/pc_consumer)
  # The library is found at run time through the prefix, as a packager's
  # rpath or ld.so.conf would.
  list(FILTER flags INCLUDE REGEX "^-L")
  string(REPLACE "-L" "" libdir "${flags}")
  set(ENV{LD_LIBRARY_PATH} "${libdir}")
  run(${WORK_DIR}/pc_consumer)
  message(STATUS "pkg-config consumer: ${last_output}")
else()
  message(FATAL_ERROR "pkg-config and a C compiler are needed for this test")
endif()
