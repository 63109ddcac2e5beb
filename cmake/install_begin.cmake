# Runs before anything is installed: notes the folders under the prefix that
# exist already, so that uninstalling removes only the folders installing made.
cmake_policy(PUSH)
cmake_policy(VERSION 3.25)
set(probelyn_root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
file(GLOB_RECURSE probelyn_existing_folders LIST_DIRECTORIES true
    "${probelyn_root}/bin/*" "${probelyn_root}/share/*")
foreach(folder "${probelyn_root}" "${probelyn_root}/bin" "${probelyn_root}/share")
    if(IS_DIRECTORY "${folder}")
        list(APPEND probelyn_existing_folders "${folder}")
    endif()
endforeach()
cmake_policy(POP)
