# Runs PROGRAM (through EMULATOR when set) with ARGUMENTS, a list, and
# passes when it exits with STATUS and writes exactly one line to the error
# stream, "velk-host: error: " followed by text that matches PATTERN, and
# nothing to the output stream.
execute_process(
  COMMAND ${EMULATOR} ${PROGRAM} ${ARGUMENTS}
  RESULT_VARIABLE status
  OUTPUT_VARIABLE out
  ERROR_VARIABLE err)
if(NOT status STREQUAL STATUS)
  message(FATAL_ERROR "exit status ${status}, expected ${STATUS}; "
                      "error stream: ${err}")
endif()
if(NOT out STREQUAL "")
  message(FATAL_ERROR "unexpected output: ${out}")
endif()
if(NOT err MATCHES "^velk-host: error: [^\n]*${PATTERN}[^\n]*\n$")
  message(FATAL_ERROR "error stream is not one line matching "
                      "\"${PATTERN}\": ${err}")
endif()
