# Reads the built module file with tools that did not produce it and leaves
# what they found in OUTPUT_DIR for the module file tests:
#   resources.txt   wrestool's list of every resource in the module
#   pipl.bin        the raw data of resource "PIPL" 16000, language 1033
#   manifest.xml    the raw data of resource 24 (manifest) 2, language 1033
#   headers.txt     objdump's view of the headers: export and import tables
#
# cmake -DMODULE=Velk.aex -DOUTPUT_DIR=dir -DWRESTOOL=wrestool
#       -DOBJDUMP=x86_64-w64-mingw32-objdump -P dump_module.cmake
foreach(variable MODULE OUTPUT_DIR WRESTOOL OBJDUMP)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "dump_module: ${variable} is not set")
  endif()
endforeach()

file(MAKE_DIRECTORY ${OUTPUT_DIR})

function(dump file)
  execute_process(COMMAND ${ARGN} ${MODULE}
    OUTPUT_FILE ${OUTPUT_DIR}/${file}
    RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "dump_module: '${ARGN} ${MODULE}' failed: ${result}")
  endif()
endfunction()

dump(resources.txt ${WRESTOOL} --list)
# The leading + makes wrestool take PIPL as a type name, not a number.
dump(pipl.bin ${WRESTOOL} --extract --raw --type=+PIPL --name=16000
  --language=1033)
dump(manifest.xml ${WRESTOOL} --extract --raw --type=24 --name=2
  --language=1033)
dump(headers.txt ${OBJDUMP} --private-headers)
