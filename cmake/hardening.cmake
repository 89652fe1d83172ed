# The hardening every program and module of ours is built with. On Linux, what
# Debian's dpkg-buildflags gives with hardening=+all on amd64: Debian 12's
# dpkg 1.21 (PIE, stack protector, fortify, format, full RELRO) and the
# stack-clash and control-flow protection that dpkg 1.22 (Debian 13) adds.
# One set on both releases: the release is built on Debian 12, whose own set
# lacks those two, and both releases' compilers take every flag (GCC has since
# version 8). On Windows, mingw-w64's stack protector and the PE header's ASLR
# and DEP.
# tests/packaging/check-hardening reads them back from the built files.
add_library(tarnwick_hardening INTERFACE)

# Format strings a caller could control are errors, as Debian makes them.
target_compile_options(tarnwick_hardening INTERFACE -Wformat -Werror=format-security)
target_compile_options(tarnwick_hardening INTERFACE -fstack-protector-strong)

if(WIN32)
    # libssp comes in statically with the rest of the runtime (the toolchain
    # links -static); the driver adds it when the link names the option too.
    target_link_options(tarnwick_hardening INTERFACE -fstack-protector-strong)
    # binutils 2.40 sets these three by default for PE32+; named here so that
    # the exe keeps them whatever the linker's defaults become.
    target_link_options(tarnwick_hardening INTERFACE
        LINKER:--dynamicbase LINKER:--high-entropy-va LINKER:--nxcompat)
    return()
endif()

target_compile_options(tarnwick_hardening INTERFACE -fstack-clash-protection -fcf-protection)
# Full RELRO: the GOT read-only once the loader has bound every symbol.
target_link_options(tarnwick_hardening INTERFACE LINKER:-z,relro LINKER:-z,now)
# Programs position-independent, linked as PIE (policy CMP0083).
include(CheckPIESupported)
check_pie_supported(LANGUAGES CXX)
set_property(TARGET tarnwick_hardening PROPERTY INTERFACE_POSITION_INDEPENDENT_CODE ON)
# Fortify only where the build optimises: glibc warns about it at -O0, and a
# sanitizer build wants the plain calls its interceptors see. Level 2, as
# Debian's dpkg gives it (Ubuntu has moved to 3; Debian has not). Every preset
# is a one-configuration Ninja build, so the build type decides; the hardening
# test reads TARNWICK_FORTIFIED to know what to expect.
set(TARNWICK_FORTIFIED OFF)
if(CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$" AND NOT CMAKE_CXX_FLAGS MATCHES "-fsanitize=")
    set(TARNWICK_FORTIFIED ON)
    target_compile_definitions(tarnwick_hardening INTERFACE _FORTIFY_SOURCE=2)
endif()
