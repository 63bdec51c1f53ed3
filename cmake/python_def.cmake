# Writes the module definition file of DLL (python3XY.dll) from the
# interpreter names that OBJECTS ('|'-separated) import (their __imp_ references), for
# dlltool.
string(REPLACE "|" ";" OBJECTS "${OBJECTS}")
execute_process(COMMAND ${NM} --undefined-only --just-symbols ${OBJECTS} OUTPUT_VARIABLE symbols
                COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "__imp_[A-Za-z0-9_]+" imports "${symbols}")
list(REMOVE_DUPLICATES imports)
list(SORT imports)
set(text "LIBRARY ${DLL}\nEXPORTS\n")
foreach(symbol IN LISTS imports)
  string(REGEX REPLACE "^__imp_" "" name ${symbol})
  string(APPEND text "    ${name}\n")
endforeach()
file(WRITE ${OUTPUT} "${text}")
