# The Windows build: the window (probelyn.exe) and the scanner
# (probelyn-scan.exe), linked statically so that they run from an empty
# folder, each with a version resource; a zip for technicians with both, the
# licence and a text for Windows users; and the installer (scripts/
# build-windows makes it with NSIS).
string(REPLACE "." "," probelyn_version_commas "${PROJECT_VERSION}")
string(REGEX MATCHALL "," probelyn_commas "${probelyn_version_commas}")
list(LENGTH probelyn_commas probelyn_comma_count)
foreach(_ RANGE ${probelyn_comma_count} 2)
    string(APPEND probelyn_version_commas ",0")
endforeach()
string(REPLACE "," "." PROBELYN_VERSION4 "${probelyn_version_commas}")
set(PROBELYN_VERSION_COMMAS ${probelyn_version_commas})

# version_resource(VAR FILE DESCRIPTION): a version resource for FILE in VAR.
function(version_resource var file description)
    set(PROBELYN_FILE ${file})
    set(PROBELYN_DESCRIPTION ${description})
    set(out ${PROJECT_BINARY_DIR}/version-${file}.rc)
    configure_file(${PROJECT_SOURCE_DIR}/resources/version.rc.in ${out} @ONLY)
    set(${var} ${out} PARENT_SCOPE)
endfunction()

version_resource(scanner_version_rc probelyn-scan.exe "Probelyn scanner")
target_sources(probelyn-scan PRIVATE ${scanner_version_rc})
target_link_options(probelyn-scan PRIVATE -static -s)

configure_file(resources/probelyn.manifest.in ${PROJECT_BINARY_DIR}/probelyn.manifest @ONLY)
version_resource(PROBELYN_WINDOW_VERSION_RC probelyn.exe "VKT/VRN Probelyn")
add_subdirectory(src/window_win32)

set(probelyn_zip_name probelyn-${PROJECT_VERSION}-windows-x64)
set(probelyn_zip_dir ${PROJECT_BINARY_DIR}/${probelyn_zip_name})
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/${probelyn_zip_name}.zip
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${probelyn_zip_dir}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${probelyn_zip_dir}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:probelyn> $<TARGET_FILE:probelyn-scan>
        ${probelyn_zip_dir}/
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/LICENSE ${probelyn_zip_dir}/LICENSE.txt
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/docs/probelyn-windows.txt
        ${probelyn_zip_dir}/README.txt
    COMMAND ${CMAKE_COMMAND} -E tar cf ${probelyn_zip_name}.zip --format=zip ${probelyn_zip_name}
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
    DEPENDS probelyn probelyn-scan ${PROJECT_SOURCE_DIR}/LICENSE
        ${PROJECT_SOURCE_DIR}/docs/probelyn-windows.txt
    VERBATIM)
add_custom_target(windows_zip ALL DEPENDS ${PROJECT_BINARY_DIR}/${probelyn_zip_name}.zip)

# The installer, where NSIS is installed (scripts/build-windows sees to it).
find_program(PROBELYN_MAKENSIS makensis)
if(PROBELYN_MAKENSIS)
    set(probelyn_setup ${PROJECT_BINARY_DIR}/probelyn-${PROJECT_VERSION}-setup.exe)
    set(probelyn_nsi ${PROJECT_SOURCE_DIR}/resources/probelyn.nsi)
    add_custom_command(OUTPUT ${probelyn_setup}
        COMMAND ${PROBELYN_MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION}
            -DWINDOW=$<TARGET_FILE:probelyn> -DSCANNER=$<TARGET_FILE:probelyn-scan>
            -DLICENSE=${PROJECT_SOURCE_DIR}/LICENSE
            -DREADME=${PROJECT_SOURCE_DIR}/docs/probelyn-windows.txt
            -DICON=${PROJECT_SOURCE_DIR}/resources/icon.ico -DOUT=${probelyn_setup} ${probelyn_nsi}
        DEPENDS probelyn probelyn-scan ${probelyn_nsi} ${PROJECT_SOURCE_DIR}/LICENSE
            ${PROJECT_SOURCE_DIR}/docs/probelyn-windows.txt
        VERBATIM)
    add_custom_target(windows_installer ALL DEPENDS ${probelyn_setup})
endif()
