# Builds one Tarnwick installer from tarnwick.wxs with wixl:
#   cmake -Dversion=X.Y.Z -Doutput=FILE.msi -Dwixl=... -Dwxs=... -Dprogram=... -Dicon=...
#         -Dpublisher=... -Ddescription=... -Dupgrade_code=GUID
#         [-Dcert=... -Dkey=... and sign.cmake's other settings] -P make-msi.cmake
# Given a certificate, it signs the MSI (and only the MSI: the program comes signed).
# The product code is a name-based UUID of the version under the upgrade code:
# every version has its own, and the same version always the same one.
foreach(setting IN ITEMS version output wixl wxs program icon publisher description upgrade_code)
    if(NOT DEFINED ${setting})
        message(FATAL_ERROR "make-msi.cmake: -D${setting}=... is missing")
    endif()
endforeach()
if(NOT version MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+$")
    message(FATAL_ERROR "make-msi.cmake: \"${version}\" is not MAJOR.MINOR.PATCH")
endif()
string(UUID product_code NAMESPACE ${upgrade_code} NAME "Tarnwick ${version}" TYPE SHA1 UPPER)
string(UUID program_component NAMESPACE ${upgrade_code} NAME "component Program" TYPE SHA1 UPPER)

# wixl looks for the files it packs relative to the .wxs and takes no absolute path.
get_filename_component(wxs_folder ${wxs} DIRECTORY)
file(RELATIVE_PATH program ${wxs_folder} ${program})
file(RELATIVE_PATH icon ${wxs_folder} ${icon})

# Signed, it is first made beside its place: a failed signing leaves no installer.
file(REMOVE ${output})
set(unsigned ${output})
if(cert)
    set(unsigned ${output}.unsigned)
endif()
execute_process(
    COMMAND ${wixl} --arch x64 --output ${unsigned}
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
if(NOT status EQUAL 0)
    file(REMOVE ${unsigned})
    message(FATAL_ERROR "wixl failed (${status}) making ${output}")
endif()
if(cert)
    include(${CMAKE_CURRENT_LIST_DIR}/sign.cmake)
    set(name Tarnwick)
    tarnwick_sign(${unsigned} ${output})
    file(REMOVE ${unsigned})
endif()
