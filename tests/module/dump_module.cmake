# Reads the built module file with tools that did not produce it and leaves
# what they found in OUTPUT_DIR for the module file tests:
#   resources.txt   wrestool's list of every resource in the module
#   pipl.bin        the raw data of resource "PIPL" 16000, language 1033
#   manifest.xml    the raw data of resource 24 (manifest) 2, language 1033
#   headers.txt     objdump's view of the headers: export and import tables
#   sections.txt    objdump's section table of the module
#   debuglink.txt   the contents of its .gnu_debuglink section, in hex
#   debug_sections.txt  the section table of DEBUG_FILE, the module's debug
#                   information built beside it
#   debug_info.txt  the debug information entries in DEBUG_FILE
# A dump of what is missing (no .gnu_debuglink, no debug file) is left empty:
# the tests that read it say what is missing.
#
# cmake -DMODULE=Velk.aex -DDEBUG_FILE=Velk.aex.debug -DOUTPUT_DIR=dir
#       -DWRESTOOL=wrestool -DOBJDUMP=x86_64-w64-mingw32-objdump
#       -P dump_module.cmake
foreach(variable MODULE DEBUG_FILE OUTPUT_DIR WRESTOOL OBJDUMP)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "dump_module: ${variable} is not set")
  endif()
endforeach()

file(MAKE_DIRECTORY ${OUTPUT_DIR})

# dump_of(input file [OPTIONAL] command...): the command's output for input.
function(dump_of input file)
  cmake_parse_arguments(PARSE_ARGV 2 ARG "OPTIONAL" "" "")
  execute_process(COMMAND ${ARG_UNPARSED_ARGUMENTS} ${input}
    OUTPUT_FILE ${OUTPUT_DIR}/${file}
    RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    if(ARG_OPTIONAL)
      file(WRITE ${OUTPUT_DIR}/${file} "")
    else()
      message(FATAL_ERROR
        "dump_module: '${ARG_UNPARSED_ARGUMENTS} ${input}' failed: ${result}")
    endif()
  endif()
endfunction()

function(dump file)
  dump_of(${MODULE} ${file} ${ARGN})
endfunction()

dump(resources.txt ${WRESTOOL} --list)
# The leading + makes wrestool take PIPL as a type name, not a number.
dump(pipl.bin ${WRESTOOL} --extract --raw --type=+PIPL --name=16000
  --language=1033)
dump(manifest.xml ${WRESTOOL} --extract --raw --type=24 --name=2
  --language=1033)
dump(headers.txt ${OBJDUMP} --private-headers)
dump(sections.txt ${OBJDUMP} --section-headers)
dump(debuglink.txt OPTIONAL ${OBJDUMP} --full-contents
  --section=.gnu_debuglink)
dump_of(${DEBUG_FILE} debug_sections.txt OPTIONAL ${OBJDUMP} --section-headers)
dump_of(${DEBUG_FILE} debug_info.txt OPTIONAL ${OBJDUMP} --dwarf=info)
