# The Windows build: probelyn-scan.exe alone, linked statically so that it
# runs from an empty folder, and a zip for technicians with the licence and a
# text for Windows users.
target_link_options(probelyn-scan PRIVATE -static)
set(probelyn_zip_name probelyn-scan-${PROJECT_VERSION}-windows-x64)
set(probelyn_zip_dir ${PROJECT_BINARY_DIR}/${probelyn_zip_name})
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/${probelyn_zip_name}.zip
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${probelyn_zip_dir}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${probelyn_zip_dir}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:probelyn-scan> ${probelyn_zip_dir}/
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/LICENSE ${probelyn_zip_dir}/LICENSE.txt
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/docs/probelyn-scan-windows.txt
        ${probelyn_zip_dir}/README.txt
    COMMAND ${CMAKE_COMMAND} -E tar cf ${probelyn_zip_name}.zip --format=zip ${probelyn_zip_name}
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
    DEPENDS probelyn-scan ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/docs/probelyn-scan-windows.txt
    VERBATIM)
add_custom_target(windows_zip ALL DEPENDS ${PROJECT_BINARY_DIR}/${probelyn_zip_name}.zip)
