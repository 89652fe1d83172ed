# The version and the date of a build, both from the newest entry of
# packaging/changelog, the one place a release's version is written:
#   TARNWICK_VERSION              "1.0.0", from "tarnwick (1.0.0) bookworm; ..."
#   TARNWICK_SOURCE_DATE_EPOCH    SOURCE_DATE_EPOCH from the environment when it is
#                                 set (a release sets its commit's date), else the
#                                 entry's date: every time a build writes into what
#                                 it makes comes from here, never from the clock.
# The AppStream metadata and the manual page name the version too; they must
# agree with the changelog, or the configure fails.
set(tarnwick_changelog ${CMAKE_CURRENT_LIST_DIR}/../packaging/changelog)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${tarnwick_changelog})
file(STRINGS ${tarnwick_changelog} tarnwick_changelog_top LIMIT_COUNT 1)
if(NOT tarnwick_changelog_top MATCHES "^tarnwick \\(([0-9]+\\.[0-9]+\\.[0-9]+)\\) ")
    message(FATAL_ERROR "packaging/changelog does not begin with \"tarnwick (MAJOR.MINOR.PATCH) ...\"")
endif()
set(TARNWICK_VERSION ${CMAKE_MATCH_1})

if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(TARNWICK_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
    file(STRINGS ${tarnwick_changelog} tarnwick_changelog_trailer REGEX "^ -- " LIMIT_COUNT 1)
    string(REGEX REPLACE "^ -- .*>  " "" tarnwick_changelog_date "${tarnwick_changelog_trailer}")
    execute_process(COMMAND date -u -d "${tarnwick_changelog_date}" +%s
                    OUTPUT_VARIABLE TARNWICK_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "packaging/changelog: no date in \"${tarnwick_changelog_trailer}\"")
    endif()
endif()
if(NOT TARNWICK_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
    message(FATAL_ERROR "SOURCE_DATE_EPOCH \"${TARNWICK_SOURCE_DATE_EPOCH}\" is not a count of seconds")
endif()

foreach(named IN ITEMS "org.tarnwick.Tarnwick.metainfo.xml|<release version=\"([^\"]+)\""
                       "tarnwick.1|^\\.TH .*\"Tarnwick ([^\"]+)\"")
    string(REPLACE "|" ";" named "${named}")
    list(GET named 0 file)
    list(GET named 1 pattern)
    file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/../packaging/${file} line REGEX "${pattern}" LIMIT_COUNT 1)
    if(NOT line MATCHES "${pattern}" OR NOT CMAKE_MATCH_1 STREQUAL TARNWICK_VERSION)
        message(FATAL_ERROR "packaging/${file} names version \"${CMAKE_MATCH_1}\"; the changelog, ${TARNWICK_VERSION}")
    endif()
endforeach()
