# Fails unless the shared library's dynamic symbol table defines exactly the eight c_ entries.
# Run as: cmake -DNM=<nm> -DLIBRARY=<path> -P CheckExportList.cmake
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
                OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
# The last word of each line is a name.
string(REGEX MATCHALL "[^ \n]+\n" lines "${listing}")
string(REPLACE "\n" "" names "${lines}")
list(SORT names)
set(expected c_CenterForm c_Crypt c_CryptBuffer c_DeCrypt c_DeCryptBuffer c_GetFileDateTime
    c_SetFileDateTime c_StrCrc16)  # sorted
if(NOT names STREQUAL expected)
  message(FATAL_ERROR "exported: ${names}\nexpected: ${expected}")
endif()
message(STATUS "exports: ${names}")
