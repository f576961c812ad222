# Runs PROGRAM (through EMULATOR when set) with ARGUMENTS, a list, and
# passes when it exits with STATUS and writes exactly one line to the error
# stream, LINE_START (default "velk-host: error: ") followed by text that
# matches PATTERN, and nothing to the output stream.
#
# For the files a run touches, optionally:
#   WORK_DIR         a folder made anew to run in, holding the files of COPY,
#                    a list of NAME=SOURCE, and the links of LINKS, a list of
#                    NAME=TARGET; afterwards it must hold exactly these and
#                    the names in CREATED (PNG files), and each copy must be
#                    byte for byte its source
#   STDIN            a file (in WORK_DIR when relative) read as the input
#                    stream
#   STDOUT           a file (in WORK_DIR when relative) that takes the output
#                    stream, through a pipe when PIPE is set
#   ENV              NAME=VALUE pairs added to the program's environment
#   FILE_SIZE_LIMIT  the run's file size limit (ulimit -f, 512-byte blocks)
#   DEVICE           a character device that must still be one afterwards
cmake_minimum_required(VERSION 3.25)

# split_pair(PAIR NAME VALUE): NAME and VALUE of a "NAME=VALUE" pair.
function(split_pair pair name_variable value_variable)
  string(FIND "${pair}" "=" equals)
  string(SUBSTRING "${pair}" 0 ${equals} name)
  math(EXPR after "${equals} + 1")
  string(SUBSTRING "${pair}" ${after} -1 value)
  set(${name_variable} ${name} PARENT_SCOPE)
  set(${value_variable} ${value} PARENT_SCOPE)
endfunction()

set(run_in ${CMAKE_CURRENT_BINARY_DIR})
set(expected_names "")
if(WORK_DIR)
  file(REMOVE_RECURSE ${WORK_DIR})
  file(MAKE_DIRECTORY ${WORK_DIR})
  set(run_in ${WORK_DIR})
  foreach(pair IN LISTS COPY LINKS)
    split_pair(${pair} name source)
    list(APPEND expected_names ${name})
    if(pair IN_LIST COPY)
      file(COPY_FILE ${source} ${WORK_DIR}/${name})
    else()
      file(CREATE_LINK ${source} ${WORK_DIR}/${name} SYMBOLIC)
    endif()
  endforeach()
  list(APPEND expected_names ${CREATED})
endif()

set(command ${EMULATOR} ${PROGRAM} ${ARGUMENTS})
if(ENV)
  set(command ${CMAKE_COMMAND} -E env ${ENV} ${command})
endif()
if(FILE_SIZE_LIMIT)
  set(command sh -c "ulimit -f ${FILE_SIZE_LIMIT} && exec \"$@\"" sh
    ${command})
endif()
set(output OUTPUT_VARIABLE out)
if(STDOUT)
  if(PIPE)
    set(output COMMAND cat OUTPUT_FILE ${STDOUT})
  else()
    set(output OUTPUT_FILE ${STDOUT})
  endif()
  set(out "")
endif()
set(input "")
if(STDIN)
  set(input INPUT_FILE ${STDIN})
endif()
execute_process(
  COMMAND ${command}
  ${input}
  ${output}
  WORKING_DIRECTORY ${run_in}
  RESULTS_VARIABLE statuses
  ERROR_VARIABLE err)
list(GET statuses 0 status)

if(NOT DEFINED LINE_START)
  set(LINE_START "velk-host: error: ")
endif()
if(NOT status STREQUAL STATUS)
  message(FATAL_ERROR "exit status ${status}, expected ${STATUS}; "
                      "error stream: ${err}")
endif()
if(NOT out STREQUAL "")
  message(FATAL_ERROR "unexpected output: ${out}")
endif()
if(NOT err MATCHES "^${LINE_START}[^\n]*${PATTERN}[^\n]*\n$")
  message(FATAL_ERROR "error stream is not one line matching "
                      "\"${LINE_START}...${PATTERN}\": ${err}")
endif()

if(WORK_DIR)
  file(GLOB names RELATIVE ${WORK_DIR} LIST_DIRECTORIES true
    ${WORK_DIR}/* ${WORK_DIR}/.*)
  list(SORT names)
  list(SORT expected_names)
  if(NOT names STREQUAL expected_names)
    message(FATAL_ERROR "${WORK_DIR} holds \"${names}\", "
                        "expected \"${expected_names}\"")
  endif()
  foreach(pair IN LISTS COPY)
    split_pair(${pair} name source)
    file(SHA256 ${source} before)
    file(SHA256 ${WORK_DIR}/${name} now)
    if(NOT before STREQUAL now OR IS_SYMLINK ${WORK_DIR}/${name})
      message(FATAL_ERROR "${name} changed")
    endif()
  endforeach()
  foreach(pair IN LISTS LINKS)
    split_pair(${pair} name target)
    if(NOT IS_SYMLINK ${WORK_DIR}/${name})
      message(FATAL_ERROR "${name} is no longer a link")
    endif()
  endforeach()
  foreach(name IN LISTS CREATED)
    file(READ ${WORK_DIR}/${name} signature LIMIT 8 HEX)
    if(NOT signature STREQUAL "89504e470d0a1a0a")
      message(FATAL_ERROR "${name} is not a PNG file: ${signature}")
    endif()
  endforeach()
endif()
if(DEVICE)
  execute_process(COMMAND test -c ${DEVICE} RESULT_VARIABLE not_a_device)
  if(not_a_device)
    message(FATAL_ERROR "${DEVICE} is no longer a character device")
  endif()
endif()
