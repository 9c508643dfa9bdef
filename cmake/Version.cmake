# The texts shipped with the programs name the version in their own words, so
# they cannot be generated; instead each is held to QUOREL_VERSION here. A
# release that changes the number and misses one of them stops at configure
# time rather than shipping two versions.
function(quorel_require_version file regex)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
    file(STRINGS ${file} lines ENCODING UTF-8 REGEX "${regex}" LIMIT_COUNT 1)
    string(REGEX MATCH "${regex}" matched "${lines}")
    if(NOT CMAKE_MATCH_1 STREQUAL QUOREL_VERSION)
        message(FATAL_ERROR "${file} names version '${CMAKE_MATCH_1}', the project is ${QUOREL_VERSION}")
    endif()
endfunction()

# The first line of the ReadMe, e.g. "린드바트 (Quorel) 0.98b".
quorel_require_version(${PROJECT_SOURCE_DIR}/resources/install/readme.txt "^린드바트 \\(Quorel\\) ([^ ]+)$")
# The newest entry of the update notes is their first dated heading.
quorel_require_version(${PROJECT_SOURCE_DIR}/resources/install/updateinfo.rtf "\\\\fs22 ([^ ]+) \\\\u8212\\?")
# The About box and the update notes window show the version as fixed text.
quorel_require_version(${PROJECT_SOURCE_DIR}/app/aboutdialog.cpp "\"버전 ([^\"]+)\"")
quorel_require_version(${PROJECT_SOURCE_DIR}/panes/updateinfodialog.cpp "\"버전 ([^\"]+)\"")
foreach(page quorel namecodec)
    quorel_require_version(${PROJECT_SOURCE_DIR}/resources/man/${page}.1 "^\\.TH .* \"Quorel ([^\"]+)\"")
endforeach()
