# Whether the build signs tarnwick.exe and its MSI, and with what: given a
# code-signing certificate and its key, as cache variables or, at the first
# configure, in the environment under the same names. Never keep either in the
# repository. Without them the build is unsigned. Given instead the folder of a
# release's published signatures (TARNWICK_SIGNATURES), the build attaches
# them, to rebuild that release's signed files. Included by each folder that
# signs: it sets TARNWICK_SIGN_ARGS there.
set(TARNWICK_SIGN_CERT "$ENV{TARNWICK_SIGN_CERT}" CACHE FILEPATH
    "Code-signing certificate, with any intermediate ones (PEM or DER); empty: unsigned")
set(TARNWICK_SIGN_KEY "$ENV{TARNWICK_SIGN_KEY}" CACHE FILEPATH "The certificate's private key")
set(TARNWICK_SIGN_PASSWORD_FILE "$ENV{TARNWICK_SIGN_PASSWORD_FILE}" CACHE FILEPATH
    "A file holding the key's password, if it has one")
set(TARNWICK_TIMESTAMP_URL "$ENV{TARNWICK_TIMESTAMP_URL}" CACHE STRING
    "RFC 3161 timestamp server: the signature then outlives the certificate")

set(TARNWICK_SIGNATURES "$ENV{TARNWICK_SIGNATURES}" CACHE PATH
    "A release's tarnwick.exe.p7s and tarnwick-VERSION.msi.p7s, attached instead of signing")

set(TARNWICK_SIGN_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/sign.cmake)
set(TARNWICK_SIGN_ARGS)
if(TARNWICK_SIGNATURES)
    if(TARNWICK_SIGN_CERT OR TARNWICK_SIGN_KEY)
        message(FATAL_ERROR "TARNWICK_SIGNATURES attaches published signatures; give it without a certificate")
    endif()
    find_program(OSSLSIGNCODE osslsigncode REQUIRED)
    set(TARNWICK_SIGN_ARGS -Dsignatures=${TARNWICK_SIGNATURES})
elseif(TARNWICK_SIGN_CERT OR TARNWICK_SIGN_KEY)
    if(NOT TARNWICK_SIGN_CERT OR NOT TARNWICK_SIGN_KEY)
        message(FATAL_ERROR "Signing needs both TARNWICK_SIGN_CERT and TARNWICK_SIGN_KEY")
    endif()
    find_program(OSSLSIGNCODE osslsigncode REQUIRED)
    # sign.cmake's settings, given before -Dfile=... -P sign.cmake or make-msi.cmake's -P.
    set(TARNWICK_SIGN_ARGS -Dcert=${TARNWICK_SIGN_CERT} -Dkey=${TARNWICK_SIGN_KEY}
        -Dpassword_file=${TARNWICK_SIGN_PASSWORD_FILE} -Dtimestamp_url=${TARNWICK_TIMESTAMP_URL})
    get_property(told GLOBAL PROPERTY TARNWICK_SIGNING_TOLD)
    if(NOT told)
        message(STATUS "Signing tarnwick.exe and its MSI with ${TARNWICK_SIGN_CERT}")
        set_property(GLOBAL PROPERTY TARNWICK_SIGNING_TOLD TRUE)
    endif()
endif()
