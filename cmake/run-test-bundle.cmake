# Runs a build's test bundle as a tester would, and judges what it reports:
#   cmake -D BUILD_DIR=<build> [-D CONFIG=<config>] [-D RUNNER_TIMEOUT=<s>] -P cmake/run-test-bundle.cmake
# The bundle, the one chromatte-tests-*.zip in the build folder, is unzipped
# into an emptied <build>/bundle-run and its runner started there, with its
# input at an end (no "Press Enter"), and after -D EMULATOR=<program> when
# given. Passes only when the runner exits 0, its closing line says that all
# its programs passed, and its report lists as passed every program that
# ctest runs for the build (ctest takes CONFIG as -C, which a Visual Studio
# build needs).
#
# The runner's output and errors go to runner-output.txt and runner-errors.txt
# in bundle-run, shown when it ends. Through pipes, this step would wait for
# every process that inherited them: under Wine, the desktop and services
# that the runner starts, which outlive it while a session is held open. A
# runner still running after RUNNER_TIMEOUT seconds (1800: one program that
# hangs takes its own 600) is stopped, and the step fails.
cmake_minimum_required(VERSION 3.18)

if(NOT BUILD_DIR)
  message(FATAL_ERROR "Give the build folder: cmake -D BUILD_DIR=<build> -P run-test-bundle.cmake")
endif()
get_filename_component(BUILD_DIR ${BUILD_DIR} ABSOLUTE)
file(GLOB bundle ${BUILD_DIR}/chromatte-tests-*.zip)
list(LENGTH bundle count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "Not one test bundle in ${BUILD_DIR}: build its test-bundle target.")
endif()
get_filename_component(name ${bundle} NAME_WLE)

if(CONFIG)
  set(config -C ${CONFIG})
endif()
execute_process(COMMAND ${CMAKE_CTEST_COMMAND} --show-only=json-v1 ${config}
  WORKING_DIRECTORY ${BUILD_DIR} OUTPUT_VARIABLE tests RESULT_VARIABLE result)
string(REGEX MATCHALL "[^/\\\\\"]+\\.exe\"" programs "${tests}")
list(TRANSFORM programs REPLACE "\"$" "")
list(REMOVE_DUPLICATES programs)
if(NOT result EQUAL 0 OR NOT programs)
  message(FATAL_ERROR "ctest runs no program in ${BUILD_DIR}.")
endif()

set(folder ${BUILD_DIR}/bundle-run)
file(REMOVE_RECURSE ${folder})
file(MAKE_DIRECTORY ${folder})
file(TOUCH ${folder}/no-input)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${bundle} WORKING_DIRECTORY ${folder} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "Cannot unzip ${bundle}.")
endif()
if(NOT RUNNER_TIMEOUT)
  set(RUNNER_TIMEOUT 1800)
endif()
message(STATUS "Running ${name}/run-tests.exe; its output follows when it ends.")
execute_process(COMMAND ${EMULATOR} ${folder}/${name}/run-tests.exe WORKING_DIRECTORY ${folder}
  INPUT_FILE ${folder}/no-input OUTPUT_FILE ${folder}/runner-output.txt ERROR_FILE ${folder}/runner-errors.txt
  RESULT_VARIABLE status TIMEOUT ${RUNNER_TIMEOUT})
execute_process(COMMAND ${CMAKE_COMMAND} -E cat ${folder}/runner-output.txt)
file(READ ${folder}/runner-errors.txt errors)
if(errors)
  message(NOTICE "${errors}")
endif()
file(READ ${folder}/runner-output.txt output)
string(REPLACE "\r\n" "\n" output "${output}")  # as a captured variable had it

set(wrong "")
if(status MATCHES "timeout")
  message(FATAL_ERROR "The runner did not end within ${RUNNER_TIMEOUT} s; it was stopped.")
elseif(NOT status EQUAL 0)
  string(APPEND wrong "The runner's exit status is ${status}, not 0.\n")
endif()
string(STRIP "${output}" output)
if(NOT output MATCHES "; all [0-9]+ programs passed\\.$")
  string(APPEND wrong "The runner's last line does not say that all its programs passed.\n")
endif()
set(report ${folder}/${name}/chromatte-tests-report.txt)
set(text "")
if(EXISTS ${report})
  file(READ ${report} text)
endif()
foreach(program IN LISTS programs)
  string(REPLACE "." "\\." pattern ${program})
  if(NOT text MATCHES "(^|\n)${pattern} +PASSED ")
    string(APPEND wrong "The report does not list ${program} as passed.\n")
  endif()
endforeach()
if(wrong)
  message(FATAL_ERROR "${text}\n${wrong}")
endif()
list(LENGTH programs count)
message(STATUS "Test bundle ${name}: the ${count} programs that ctest runs passed; report: ${report}")
