# Installs the build into a staging folder and checks what lands there: both
# programs, the menu entry, every icon, the AppStream metadata, the manual
# pages, the bash completion, the copyright and the changelogs. The entry and
# the metadata are validated by their own tools when those are installed.
# Then uninstalls it: every file goes, and every folder the install made,
# while a folder that was there before stays. The build's own record of a
# real installation is kept as it was.
#   cmake -DBUILD_DIR=... -DSTAGE=... -DSOURCE_DIR=... -DVERSION=... -P check_install.cmake
file(REMOVE_RECURSE ${STAGE})
set(records ${BUILD_DIR}/install_manifest.txt ${BUILD_DIR}/install_folders.txt)
foreach(record IN LISTS records)
    if(EXISTS ${record})
        file(RENAME ${record} ${record}.kept)
    endif()
endforeach()
set(earlier ${STAGE}/usr/share/doc/other)
file(WRITE ${earlier}/notes "there before")
execute_process(
    COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${STAGE} ${CMAKE_COMMAND} --install ${BUILD_DIR}
        --prefix /usr
    RESULT_VARIABLE installed OUTPUT_QUIET)
if(NOT installed EQUAL 0)
    message(FATAL_ERROR "cmake --install failed")
endif()

set(usr ${STAGE}/usr)
set(app_id example.corvallen.Probelyn)
set(expected
    bin/probelyn
    bin/probelyn-scan
    share/man/man1/probelyn-scan.1.gz
    share/bash-completion/completions/probelyn-scan
    share/doc/probelyn-scan/copyright
    share/doc/probelyn-scan/changelog.gz
    share/applications/${app_id}.desktop
    share/metainfo/${app_id}.metainfo.xml
    share/icons/hicolor/scalable/apps/probelyn.svg
    share/man/man1/probelyn.1.gz
    share/doc/probelyn/copyright
    share/doc/probelyn/changelog.gz)
foreach(size 16 24 32 48 64 128 256)
    list(APPEND expected share/icons/hicolor/${size}x${size}/apps/probelyn.png)
endforeach()
foreach(path IN LISTS expected)
    if(NOT EXISTS ${usr}/${path})
        message(FATAL_ERROR "not installed: /usr/${path}")
    endif()
endforeach()

# Nothing else: the simulator, tests and benchmarks stay out.
file(GLOB_RECURSE landed RELATIVE ${usr} ${usr}/*)
list(REMOVE_ITEM landed share/doc/other/notes)
list(LENGTH landed landed_count)
list(LENGTH expected expected_count)
if(NOT landed_count EQUAL expected_count)
    message(FATAL_ERROR "installed more than expected: ${landed}")
endif()

# The release named in the metadata and the changelog is the project's.
file(READ ${usr}/share/metainfo/${app_id}.metainfo.xml metainfo)
string(FIND "${metainfo}" "<release version=\"${VERSION}\"" release)
file(READ ${SOURCE_DIR}/resources/changelog.Debian changelog)
string(FIND "${changelog}" "probelyn (${VERSION})" logged)
if(release EQUAL -1 OR logged EQUAL -1)
    message(FATAL_ERROR "version ${VERSION} is not the release of the metadata and changelog")
endif()

find_program(desktop_file_validate desktop-file-validate)
if(desktop_file_validate)
    execute_process(COMMAND ${desktop_file_validate} ${usr}/share/applications/${app_id}.desktop
        RESULT_VARIABLE valid OUTPUT_VARIABLE said ERROR_VARIABLE said)
    if(NOT valid EQUAL 0 OR NOT said STREQUAL "")
        message(FATAL_ERROR "desktop entry: ${said}")
    endif()
endif()
find_program(appstreamcli appstreamcli)
if(appstreamcli)
    execute_process(COMMAND ${appstreamcli} validate --no-net
        ${usr}/share/metainfo/${app_id}.metainfo.xml
        RESULT_VARIABLE valid OUTPUT_VARIABLE said ERROR_VARIABLE said)
    if(NOT valid EQUAL 0)
        message(FATAL_ERROR "AppStream metadata: ${said}")
    endif()
endif()

execute_process(
    COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${STAGE} ${CMAKE_COMMAND} -P ${BUILD_DIR}/uninstall.cmake
    RESULT_VARIABLE uninstalled OUTPUT_QUIET)
file(GLOB_RECURSE left LIST_DIRECTORIES true RELATIVE ${STAGE} ${STAGE}/*)
list(SORT left)
foreach(record IN LISTS records)
    if(EXISTS ${record}.kept)
        file(RENAME ${record}.kept ${record})
    endif()
endforeach()
if(NOT uninstalled EQUAL 0 OR NOT left STREQUAL
   "usr;usr/share;usr/share/doc;usr/share/doc/other;usr/share/doc/other/notes")
    message(FATAL_ERROR "uninstalling left: ${left}")
endif()
message(STATUS "installed and uninstalled as expected")
