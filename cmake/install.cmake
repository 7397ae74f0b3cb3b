# Installation as Debian users expect it, and the .deb that cpack makes from it:
#   cmake --install build [--prefix /usr]    cd build && cpack -G DEB
include(GNUInstallDirs)

install(TARGETS tarvik-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
foreach(page tarvik tarvik-cli)
  configure_file(${CMAKE_SOURCE_DIR}/res/man/${page}.1 ${CMAKE_BINARY_DIR}/man/${page}.1 @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/man/${page}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/res/manual/index.html
        DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME manual.html)
install(FILES ${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_SOURCE_DIR}/README.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
# Debian looks for the licence of a package under this name.
install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)

set(CPACK_PACKAGE_NAME tarvik)
set(CPACK_PACKAGE_VENDOR "Corvane Miravel")
set(CPACK_PACKAGE_CONTACT "Corvane Miravel <support@tarvik.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "recover deleted and lost files of NTFS drives")
set(CPACK_PACKAGE_DESCRIPTION "Corvane Miravel NTFS scans a disk or disk image for NTFS \
drives, lists their normal, deleted and lost files, and writes the chosen ones to another \
disk with their folders and dates, reading the scanned disk only. It comes as a desktop \
program (tarvik) and a command (tarvik-cli).")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${PROJECT_HOMEPAGE_URL})
# The run-time libraries (Qt 6, libstdc++) from the programs' own links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt finds its window-system plugins only at run time.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_STRIP_FILES ON)
include(CPack)
