# The Debian package: `cpack -G DEB` in the build folder makes ostraline_<version>_amd64.deb
# holding the product only (the executable, the menu entry, the icon, the AppStream metainfo,
# the manual page and the Debian documentation files). Version and release come from project().
set(OSTRALINE_MAINTAINER "Kelvane <support@kelvane.example>")
set(OSTRALINE_RELEASE_DATE "2005-04-01")
set(OSTRALINE_RELEASE_DATE_RFC2822 "Fri, 01 Apr 2005 00:00:00 +0000")
set(OSTRALINE_METAINFO_ID "example.kelvane.ostraline")

set(packaging ${PROJECT_SOURCE_DIR}/packaging)
set(generated ${PROJECT_BINARY_DIR}/packaging)
configure_file(${packaging}/ostraline.metainfo.xml.in
               ${generated}/${OSTRALINE_METAINFO_ID}.metainfo.xml @ONLY)
configure_file(${packaging}/ostraline.1.in ${generated}/ostraline.1 @ONLY)
configure_file(${packaging}/changelog.in ${generated}/changelog @ONLY)
install(FILES ${generated}/${OSTRALINE_METAINFO_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Manual page and changelog are installed compressed, without a time stamp in the gzip header
# so that the package's bytes depend on the sources alone.
find_program(OSTRALINE_GZIP gzip)
if(OSTRALINE_GZIP)
    foreach(name ostraline.1 changelog)
        add_custom_command(OUTPUT ${generated}/${name}.gz
            COMMAND ${OSTRALINE_GZIP} -9nc ${generated}/${name} > ${generated}/${name}.gz
            DEPENDS ${generated}/${name}
            VERBATIM)
    endforeach()
    add_custom_target(ostraline_compressed_docs ALL
        DEPENDS ${generated}/ostraline.1.gz ${generated}/changelog.gz)
    install(FILES ${generated}/ostraline.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES ${generated}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/ostraline)
else()
    install(FILES ${generated}/ostraline.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(FILES ${packaging}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/ostraline)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ostraline)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Kelvane)
set(CPACK_PACKAGE_CONTACT ${OSTRALINE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "graph the utilisation of network interfaces over SNMP")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Ostraline watches the traffic of up to 20 network interfaces on routers,\n"
    "switches or hosts. At a fixed poll interval it reads each interface's octet\n"
    "counters over SNMP and shows its input, output or combined utilisation as a\n"
    "scrolling histogram coloured by a high and a low threshold. The interfaces\n"
    "come from a plain text device file; a table shows every reading, and two\n"
    "daily CSV logs can record them.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${OSTRALINE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://ostraline.kelvane.example/")
# Dependencies come from the libraries the executable links (dpkg-shlibdeps), and the Wayland
# platform plugin, which Qt loads at run time: without it a Wayland session (Debian's default
# GNOME) runs the program through XWayland. The local SNMP agent serves the demo and discovery
# on this machine.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-wayland)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS snmpd)
include(CPack)
