# Installs the build tree into a fresh prefix, then configures, builds and runs
# a host project against that installed package only.
#
# cmake -DBUILD_DIR=... -DCONSUMER_DIR=... -DWORK_DIR=... -DGENERATOR=...
#       [-DCONFIG=...] [-DSANITIZE=...]
#       [-DPROGRAM=name -DPROGRAM_ARGS=args -DEXPECT_FILE=file]
#       -P ConsumerPackageTest.cmake
#
# PROGRAM is the executable the project builds (default: consumer), run with
# PROGRAM_ARGS. Every line of EXPECT_FILE is a regular expression that the
# program's output must match; without it the consumer's own line is expected.

foreach(var BUILD_DIR CONSUMER_DIR WORK_DIR GENERATOR)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "${var} is not set")
    endif()
endforeach()

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output
        ERROR_VARIABLE output)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "Failed (${result}): ${ARGN}\n${output}")
    endif()
    set(output "${output}" PARENT_SCOPE)
endfunction()

set(prefix "${WORK_DIR}/prefix")
set(consumer_build "${WORK_DIR}/build")
file(REMOVE_RECURSE "${WORK_DIR}")

set(config_args)
if(CONFIG)
    set(config_args --config "${CONFIG}")
endif()
run("${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}" ${config_args})

# A sanitized library needs a sanitized host.
set(sanitize_args)
if(SANITIZE)
    set(sanitize_args "-DCMAKE_CXX_FLAGS=-fsanitize=${SANITIZE}"
        "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=${SANITIZE}")
endif()
run("${CMAKE_COMMAND}" -S "${CONSUMER_DIR}" -B "${consumer_build}" -G "${GENERATOR}"
    "-DCMAKE_PREFIX_PATH=${prefix}" ${sanitize_args})
run("${CMAKE_COMMAND}" --build "${consumer_build}")

if(NOT PROGRAM)
    set(PROGRAM consumer)
endif()
run("${consumer_build}/${PROGRAM}" ${PROGRAM_ARGS})
if(EXPECT_FILE)
    file(STRINGS "${EXPECT_FILE}" expected_lines)
else()
    set(expected_lines "Robot: 1 track, arm with 1 key")
endif()
foreach(expected IN LISTS expected_lines)
    if(NOT output MATCHES "${expected}")
        message(FATAL_ERROR "Output of ${PROGRAM} does not match '${expected}':\n${output}")
    endif()
endforeach()
message(STATUS "${output}")
