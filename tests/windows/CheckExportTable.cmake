# Fails unless the DLL's export directory names the module "RARADOZO.dll" and exports exactly
# the eight c_ entries by their undecorated names (no "@bytes"), and the DLL has no resources.
# Run as: cmake -DOBJDUMP=<objdump> -DLIBRARY=<path> -P CheckExportTable.cmake
execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY} OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${LIBRARY}")
endif()
string(REGEX MATCH "\nName[ \t]+[0-9a-fA-F]+ ([^\n]*)" module_line "${listing}")
if(NOT CMAKE_MATCH_1 STREQUAL "RARADOZO.dll")
  message(FATAL_ERROR "the export directory names the module as '${CMAKE_MATCH_1}'")
endif()
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n([^\n]+\n)+" table "${listing}")
string(REGEX MATCHALL "\\[ *[0-9]+\\] [^\n]+" entries "${table}")
string(REGEX REPLACE "\\[ *[0-9]+\\] " "" names "${entries}")
list(SORT names)
set(expected c_CenterForm c_Crypt c_CryptBuffer c_DeCrypt c_DeCryptBuffer c_GetFileDateTime
    c_SetFileDateTime c_StrCrc16)
if(NOT names STREQUAL expected)
  message(FATAL_ERROR "exported: ${names}\nexpected: ${expected}")
endif()
if(NOT listing MATCHES "Entry 2 0+ 0+ Resource Directory")
  message(FATAL_ERROR "the library carries resources")
endif()
message(STATUS "exports: ${names}")
