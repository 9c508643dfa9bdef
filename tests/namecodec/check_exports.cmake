# Fails unless the dynamic symbols libnamecodec defines are exactly the
# public API listed in EXPECTED (one name a line, without parameters).
# Run as: cmake -DNM=... -DLIBRARY=... -DEXPECTED=... -P check_exports.cmake
execute_process(COMMAND ${NM} -D --defined-only -C ${LIBRARY}
    OUTPUT_VARIABLE listing RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${NM} failed on ${LIBRARY}: ${errors}")
endif()

string(REPLACE "\n" ";" lines "${listing}")
set(exported)
foreach(line IN LISTS lines)
    if(line STREQUAL "")
        continue()
    endif()
    if(NOT line MATCHES "^[0-9a-f]+ ([A-Za-z]) ([^(]+)")
        message(FATAL_ERROR "unexpected nm line: ${line}")
    endif()
    set(type "${CMAKE_MATCH_1}")
    string(REGEX REPLACE "\\[abi:[a-z0-9]+\\]" "" name "${CMAKE_MATCH_2}")
    if(NOT type STREQUAL "T")
        message(SEND_ERROR "exported symbol that is not a function (${type}): ${line}")
    endif()
    list(APPEND exported "${name}")
endforeach()
list(REMOVE_DUPLICATES exported)
list(SORT exported)

file(STRINGS ${EXPECTED} expected)
list(SORT expected)

set(extra ${exported})
list(REMOVE_ITEM extra ${expected})
set(missing ${expected})
list(REMOVE_ITEM missing ${exported})
if(extra OR missing)
    list(JOIN extra "\n  " extraText)
    list(JOIN missing "\n  " missingText)
    message(FATAL_ERROR "libnamecodec exports other symbols than its public API\n"
        "not in the API:\n  ${extraText}\nmissing:\n  ${missingText}")
endif()
list(LENGTH exported count)
message(STATUS "libnamecodec exports exactly its ${count} public functions")
