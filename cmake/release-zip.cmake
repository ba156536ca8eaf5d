# Makes the release ZIP, <name>.zip in the build folder, from what the
# project installs; the "package" target runs it:
#   cmake -D BUILD_DIR=<build> -D CONFIG=<config> -D SOURCE_DIR=<sources>
#         -D NAME=<name> -P release-zip.cmake
# With -D COMPONENT=<component>, the ZIP holds that install component only;
# with -D STRIP=ON, its programs without their symbols (the test bundle's:
# the build tree keeps them).
# The same sources give the same bytes: every file is dated from the commit
# and listed by name, with the modes the install gives it, and neither the
# builder's user nor time zone is written. CPack and cmake -E tar write the
# user's uid into every entry, so Info-ZIP's zip -X makes the archive. Where
# zip or GNU touch is missing (Windows), cmake -E tar makes it, with the
# same files, order and dates, but not byte for byte the same.
cmake_minimum_required(VERSION 3.16)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    list(JOIN ARGN " " command)
    message(FATAL_ERROR "${command}: ${result}")
  endif()
endfunction()

find_program(ZIP_EXECUTABLE zip)
find_program(TOUCH_EXECUTABLE touch)

# The files' date: SOURCE_DATE_EPOCH, else the time of the commit checked out
# in SOURCE_DIR itself (not of a repository it was unpacked in), else the
# date of CMakeLists.txt, which git archive sets to the commit's time.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(epoch $ENV{SOURCE_DATE_EPOCH})
else()
  execute_process(COMMAND git -C ${SOURCE_DIR} rev-parse --show-toplevel
    RESULT_VARIABLE result OUTPUT_VARIABLE top ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
  get_filename_component(sources "${SOURCE_DIR}" REALPATH)
  if(result EQUAL 0 AND top STREQUAL sources)
    execute_process(COMMAND git -C ${SOURCE_DIR} log -1 --format=%ct
      OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE)
  else()
    file(TIMESTAMP ${SOURCE_DIR}/CMakeLists.txt epoch %s UTC)
    message("No SOURCE_DATE_EPOCH and no git checkout: the ZIP's files take the date of CMakeLists.txt.")
  endif()
endif()

set(stage ${BUILD_DIR}/zip-stage/${NAME})
file(REMOVE_RECURSE ${stage})
if(CONFIG)
  set(config --config ${CONFIG})
endif()
if(COMPONENT)
  set(component --component ${COMPONENT})
endif()
if(STRIP)
  set(strip --strip)
endif()
run(${CMAKE_COMMAND} --install ${BUILD_DIR} ${config} ${component} ${strip} --prefix ${stage}/${NAME})
file(GLOB_RECURSE files RELATIVE ${stage} ${stage}/*)  # sorted by name
# Both write each file's local time.
set(ENV{TZ} UTC)
file(REMOVE ${BUILD_DIR}/${NAME}.zip)
if(ZIP_EXECUTABLE AND TOUCH_EXECUTABLE)
  run(${TOUCH_EXECUTABLE} -d @${epoch} ${files} WORKING_DIRECTORY ${stage})
  run(${ZIP_EXECUTABLE} -X -D -q ${BUILD_DIR}/${NAME}.zip ${files} WORKING_DIRECTORY ${stage})
else()
  # string(TIMESTAMP) gives SOURCE_DATE_EPOCH's time; tar's --mtime takes a date.
  set(ENV{SOURCE_DATE_EPOCH} ${epoch})
  string(TIMESTAMP date "%Y-%m-%d %H:%M:%S" UTC)
  run(${CMAKE_COMMAND} -E tar cf ${BUILD_DIR}/${NAME}.zip --format=zip "--mtime=${date}" -- ${files}
    WORKING_DIRECTORY ${stage})
endif()
message(STATUS "ZIP: ${BUILD_DIR}/${NAME}.zip")
