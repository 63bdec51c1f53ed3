# Writes the module definition file of DLL (python3XY.dll) from the
# interpreter names that OBJECTS ('|'-separated) import, for dlltool: their
# __imp_ references, and the interpreter's functions whose addresses a static
# table holds (a slot's PyObject_SelfIter), which the objects name directly.
string(REPLACE "|" ";" OBJECTS "${OBJECTS}")
execute_process(COMMAND ${NM} --undefined-only --just-symbols ${OBJECTS} OUTPUT_VARIABLE symbols
                COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "__imp_[A-Za-z0-9_]+" imports "${symbols}")
string(REGEX MATCHALL "(^|\n)_?Py[A-Za-z0-9_]+" direct "${symbols}")
foreach(symbol IN LISTS direct)
  string(STRIP "${symbol}" symbol)
  list(APPEND imports "__imp_${symbol}")
endforeach()
list(REMOVE_DUPLICATES imports)
list(SORT imports)
set(text "LIBRARY ${DLL}\nEXPORTS\n")
foreach(symbol IN LISTS imports)
  string(REGEX REPLACE "^__imp_" "" name ${symbol})
  string(APPEND text "    ${name}\n")
endforeach()
file(WRITE ${OUTPUT} "${text}")
