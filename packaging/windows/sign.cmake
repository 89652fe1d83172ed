# Signs one Windows file in place with osslsigncode: Authenticode, SHA-256,
# with an RFC 3161 timestamp when a timestamp server is named.
#   cmake -Dfile=FILE -Dcert=CERT -Dkey=KEY [-Dpassword_file=FILE] [-Dtimestamp_url=URL]
#         [-Dname=TEXT] -P sign.cmake
#   cmake -Dfile=FILE -Dsignatures=DIR -P sign.cmake
# CERT holds the signing certificate and any intermediate ones (PEM or DER);
# KEY its private key. The signature is also written apart, as FILE.p7s: a
# signature holds the signing time (and the timestamp), so a rebuild cannot
# make it again. Given DIR instead, a rebuild attaches DIR/NAME.p7s, the
# published signature of the file of that name, and gets the signed file of
# the release byte for byte when its own bytes are the release's. make-msi.cmake includes this file to sign the MSI.

# tarnwick_sign(INPUT OUTPUT): OUTPUT is INPUT signed, or not there at all.
function(tarnwick_sign input output)
    find_program(OSSLSIGNCODE osslsigncode)
    if(NOT OSSLSIGNCODE)
        message(FATAL_ERROR "sign.cmake: osslsigncode is not installed")
    endif()
    get_filename_component(file_name ${output} NAME)
    if(signatures)
        # osslsigncode writes the file with the signature attached, then checks it
        # against the system's certificate authorities, which need not know the
        # signer's: its verdict is only shown. Whether the signature is the one
        # made for these bytes, comparing the file with the release's tells.
        set(published ${signatures}/${file_name}.p7s)
        file(REMOVE ${output}.signing)
        execute_process(COMMAND ${OSSLSIGNCODE} attach-signature -sigin ${published} -in ${input} -out ${output}.signing
                        RESULT_VARIABLE status OUTPUT_VARIABLE said ERROR_VARIABLE said)
        if(NOT EXISTS ${output}.signing)
            message(FATAL_ERROR "osslsigncode could not attach ${published} to ${input}:\n${said}")
        endif()
        if(NOT status EQUAL 0)
            message(STATUS "${file_name}: osslsigncode does not vouch for the attached signature (${status})")
        endif()
        file(RENAME ${output}.signing ${output})
        return()
    endif()

    foreach(setting IN ITEMS cert key)
        if(NOT ${setting})
            message(FATAL_ERROR "sign.cmake: -D${setting}=... is missing")
        endif()
    endforeach()
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
    if(status EQUAL 0)
        execute_process(COMMAND ${OSSLSIGNCODE} extract-signature -in ${output}.signing -out ${output}.p7s.new
                        RESULT_VARIABLE status OUTPUT_VARIABLE extracted ERROR_VARIABLE extracted)
        string(APPEND said "${extracted}")
    endif()
    if(NOT status EQUAL 0)
        file(REMOVE ${output}.signing ${output}.p7s.new ${output})
        message(FATAL_ERROR "osslsigncode could not sign ${input}:\n${said}")
    endif()
    file(RENAME ${output}.p7s.new ${output}.p7s)
    file(RENAME ${output}.signing ${output})
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    if(NOT file)
        message(FATAL_ERROR "sign.cmake: -Dfile=... is missing")
    endif()
    tarnwick_sign(${file} ${file})
endif()
