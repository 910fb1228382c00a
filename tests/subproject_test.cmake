# Builds a parent project that adds kesti with add_subdirectory, and runs
# its C consumer, which finds the tables kesti's build put beside its
# library.
file(REMOVE_RECURSE ${WORK_DIR})
include(${CMAKE_CURRENT_LIST_DIR}/run_step.cmake)
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/consumer/subproject -B ${WORK_DIR} -G ${GENERATOR}
    -DKESTI_SOURCE=${KESTI_SOURCE} -DKESTI_BUILD_CLI=OFF)
run(${CMAKE_COMMAND} --build ${WORK_DIR} -j2)
set(ENV{KESTI_TABLE_DIR} "")
run(${WORK_DIR}/consumer)
message(STATUS "add_subdirectory consumer: ${last_output}")
