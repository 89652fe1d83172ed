# Builds one Tarnwick installer from tarnwick.wxs with wixl:
#   cmake -Dversion=X.Y.Z -Doutput=FILE.msi -Dwixl=... -Dwxs=... -Dprogram=... -Dicon=...
#         -Dpublisher=... -Ddescription=... -Dupgrade_code=GUID -Dsource_date_epoch=SECONDS
#         -Dfaketime=... -Dmsiinfo=... -Dmsibuild=...
#         [sign.cmake's settings: -Dcert=... -Dkey=..., or -Dsignatures=DIR] -P make-msi.cmake
# Given a certificate, it signs the MSI (and only the MSI: the program comes signed).
# The product code is a name-based UUID of the version under the upgrade code:
# every version has its own, and the same version always the same one.
# The same input makes the same bytes: wixl writes the clock into the summary
# and the cabinet, and a random package code, so it runs at the source date,
# with the program dated so too, and the package code becomes a name-based UUID
# of what is packed.
foreach(setting IN ITEMS version output wixl wxs program icon publisher description upgrade_code
                         source_date_epoch faketime msiinfo msibuild)
    if(NOT DEFINED ${setting})
        message(FATAL_ERROR "make-msi.cmake: -D${setting}=... is missing")
    endif()
endforeach()
if(NOT version MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+$")
    message(FATAL_ERROR "make-msi.cmake: \"${version}\" is not MAJOR.MINOR.PATCH")
endif()
string(UUID product_code NAMESPACE ${upgrade_code} NAME "Tarnwick ${version}" TYPE SHA1 UPPER)
string(UUID program_component NAMESPACE ${upgrade_code} NAME "component Program" TYPE SHA1 UPPER)

# The cabinet keeps the program's file time, in local time.
set(packed ${output}.files)
file(REMOVE_RECURSE ${packed})
file(MAKE_DIRECTORY ${packed})
file(COPY_FILE ${program} ${packed}/tarnwick.exe)
execute_process(COMMAND touch -d @${source_date_epoch} ${packed}/tarnwick.exe COMMAND_ERROR_IS_FATAL ANY)
set(ENV{SOURCE_DATE_EPOCH} ${source_date_epoch})
string(TIMESTAMP source_date "%Y-%m-%d %H:%M:%S" UTC)
# faketime's clock stands still at an absolute date like this one.
set(at_source_date env TZ=UTC ${faketime} -f ${source_date})

file(SHA256 ${packed}/tarnwick.exe program_sha)
file(SHA256 ${icon} icon_sha)
file(SHA256 ${wxs} wxs_sha)
string(UUID package_code NAMESPACE ${upgrade_code} TYPE SHA1 UPPER
       NAME "package ${version} ${product_code} ${program_sha} ${icon_sha} ${wxs_sha} ${publisher} ${description}")

# wixl looks for the files it packs relative to the .wxs and takes no absolute path.
get_filename_component(wxs_folder ${wxs} DIRECTORY)
file(RELATIVE_PATH program ${wxs_folder} ${packed}/tarnwick.exe)
file(RELATIVE_PATH icon ${wxs_folder} ${icon})

# Signed, it is first made beside its place: a failed signing leaves no installer.
file(REMOVE ${output})
set(unsigned ${output})
if(cert OR signatures)
    set(unsigned ${output}.unsigned)
endif()
execute_process(
    COMMAND ${at_source_date} ${wixl} --arch x64 --output ${unsigned}
            --define=Version=${version}
            --define=ProductCode=${product_code}
            --define=UpgradeCode=${upgrade_code}
            --define=ProgramComponent=${program_component}
            "--define=Publisher=${publisher}"
            "--define=Description=${description}"
            --define=Program=${program}
            --define=Icon=${icon}
            ${wxs}
    RESULT_VARIABLE status)
file(REMOVE_RECURSE ${packed})
if(NOT status EQUAL 0)
    file(REMOVE ${unsigned})
    message(FATAL_ERROR "wixl failed (${status}) making ${output}")
endif()

# msibuild sets the title, subject, author, template and package code together;
# all but the package code are given back as wixl wrote them.
execute_process(COMMAND ${msiinfo} suminfo ${unsigned} OUTPUT_VARIABLE summary COMMAND_ERROR_IS_FATAL ANY)
foreach(field IN ITEMS Subject Author Template)
    if(NOT summary MATCHES "\n${field}: ([^\n]*)\n")
        message(FATAL_ERROR "msiinfo shows no ${field} in the summary of ${unsigned}")
    endif()
    set(${field} "${CMAKE_MATCH_1}")
endforeach()
execute_process(COMMAND ${at_source_date} ${msibuild} ${unsigned} -s "${Subject}" "${Author}" "${Template}" {${package_code}}
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    file(REMOVE ${unsigned})
    message(FATAL_ERROR "msibuild failed (${status}) setting the package code of ${output}")
endif()
if(cert OR signatures)
    include(${CMAKE_CURRENT_LIST_DIR}/sign.cmake)
    set(name Tarnwick)
    tarnwick_sign(${unsigned} ${output})
    file(REMOVE ${unsigned})
endif()
