# Signs one Windows file in place with osslsigncode: Authenticode, SHA-256,
# with an RFC 3161 timestamp when a timestamp server is named.
#   cmake -Dfile=FILE -Dcert=CERT -Dkey=KEY [-Dpassword_file=FILE] [-Dtimestamp_url=URL]
#         [-Dname=TEXT] -P sign.cmake
# CERT holds the signing certificate and any intermediate ones (PEM or DER);
# KEY its private key. make-msi.cmake includes this file to sign the MSI.

# tarnwick_sign(INPUT OUTPUT): OUTPUT is INPUT signed, or not there at all.
function(tarnwick_sign input output)
    foreach(setting IN ITEMS cert key)
        if(NOT ${setting})
            message(FATAL_ERROR "sign.cmake: -D${setting}=... is missing")
        endif()
    endforeach()
    find_program(OSSLSIGNCODE osslsigncode)
    if(NOT OSSLSIGNCODE)
        message(FATAL_ERROR "sign.cmake: osslsigncode is not installed")
    endif()
    set(options -certs ${cert} -key ${key} -h sha256)
    if(password_file)
        list(APPEND options -readpass ${password_file})
    endif()
    # UAC shows this name beside the publisher.
    if(name)
        list(APPEND options -n ${name})
    endif()
    if(timestamp_url)
        list(APPEND options -ts ${timestamp_url})
    endif()
    # A file signed before is signed anew, not twice.
    execute_process(COMMAND ${OSSLSIGNCODE} sign ${options} -in ${input} -out ${output}.signing
                    RESULT_VARIABLE status OUTPUT_VARIABLE said ERROR_VARIABLE said)
    if(NOT status EQUAL 0)
        file(REMOVE ${output}.signing ${output})
        message(FATAL_ERROR "osslsigncode could not sign ${input}:\n${said}")
    endif()
    file(RENAME ${output}.signing ${output})
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    if(NOT file)
        message(FATAL_ERROR "sign.cmake: -Dfile=... is missing")
    endif()
    tarnwick_sign(${file} ${file})
endif()
