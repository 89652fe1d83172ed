# Who makes Tarnwick, as the Windows program's version resource and its
# installer tell it: read from the Debian copyright file, so that the .deb, the
# .exe and the .msi name the same holder.
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/copyright tarnwick_copyright_line REGEX "^Copyright: " LIMIT_COUNT 1)
if(NOT tarnwick_copyright_line MATCHES "^Copyright: *(([0-9][-0-9, ]*) +(.+))$")
    message(FATAL_ERROR "packaging/copyright has no \"Copyright: YEARS HOLDER\" line")
endif()
# "Copyright 2026 Tarnwick developers"; the holder alone is the publisher.
set(TARNWICK_LEGAL_COPYRIGHT "Copyright ${CMAKE_MATCH_1}")
set(TARNWICK_PUBLISHER "${CMAKE_MATCH_3}")
