# Tests write their output under the build folder: a log file in the source tree was left there by
# a run in the wrong folder and would end up committed.
file(GLOB logs RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*.log")
foreach(folder bench cmake docs examples fuzz scripts src tests)
    file(GLOB_RECURSE found RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/${folder}/*.log")
    list(APPEND logs ${found})
endforeach()
if(logs)
    message(FATAL_ERROR "Log files in the source tree: ${logs}")
endif()
