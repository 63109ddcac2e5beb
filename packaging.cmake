# The Debian packages that scripts/package builds with CPack, one per
# component: probelyn (the window) and probelyn-scan (the headless scanner),
# each with what resources/ installs beside it; the simulator and tests stay
# out.
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL window scanner)
set(CPACK_PACKAGE_NAME probelyn)
set(CPACK_DEBIAN_WINDOW_PACKAGE_NAME probelyn)
set(CPACK_DEBIAN_SCANNER_PACKAGE_NAME probelyn-scan)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "The Probelyn developers <probelyn@corvallen.example>")
set(CPACK_DEBIAN_WINDOW_DESCRIPTION
    "find out how a serial measuring instrument is set up
Probelyn finds out how an unidentified VKT or VRN measuring instrument is set
up on a serial line: which protocol variant it speaks (an ASCII command
protocol, Modbus RTU or the binary LyraBus protocol), at which baud rate and
at which station address. Connect that one instrument, pick the port and the
protocol, press Go, and Probelyn reports the instrument it finds.")
set(CPACK_DEBIAN_SCANNER_DESCRIPTION
    "find how serial measuring instruments are set up, without a desktop
probelyn-scan finds out which protocol variant (an ASCII command protocol,
Modbus RTU or the binary LyraBus protocol), which baud rate and which station
address the VKT or VRN instruments on serial lines use, with the probes of
Probelyn, for scripts, gateways and terminals: several lines at once, results
as text or JSON Lines, a byte trace, and exit statuses a script can trust.")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.corvallen.example/")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Libraries from the binary itself; Qt's platform plugins are loaded at run
# time and the fixed layout is drawn in Liberation Sans, so the packages that
# hold those are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_WINDOW_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation2")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
