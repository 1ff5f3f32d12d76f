# Where `cmake --install` and the Debian package put the program. The two executables live in a
# private folder with the files they look for beside themselves (found through the executable's
# real path, so the links in bin/ work); the rest goes where desktops look for it.
include(GNUInstallDirs)
# Not the multiarch library folder: these are programs, not libraries.
set(VREL_PRIVATE_DIR lib/vrel-web-camera)

install(TARGETS vrel-web-camera vrel-regedit RUNTIME DESTINATION ${VREL_PRIVATE_DIR})
# Language, tips and help files and Readme.txt, whichever the build put beside the program.
install(DIRECTORY ${VREL_BIN_DIR}/ DESTINATION ${VREL_PRIVATE_DIR}
    FILES_MATCHING PATTERN "Readme.txt" PATTERN "vrel-web-camera.*" PATTERN "TIPS.*" PATTERN "Options.*")
install(CODE "
    foreach(program vrel-web-camera vrel-regedit)
        set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\")
        file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
        file(CREATE_LINK \"../${VREL_PRIVATE_DIR}/\${program}\" \"\${link}\" SYMBOLIC)
        message(STATUS \"Installing link: \${link}\")
    endforeach()")

set(pkg ${CMAKE_SOURCE_DIR}/packaging)
install(FILES ${pkg}/vrel-web-camera.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${pkg}/vrel-web-camera.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
    RENAME example.vrelkestro.VrelWebCamera.metainfo.xml)
install(FILES ${pkg}/vrel-web-camera.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(DIRECTORY ${CMAKE_BINARY_DIR}/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)

# Manual pages and the package's documents, compressed as Debian wants them.
set(vrel_docs)
foreach(page vrel-web-camera.1 vrel-regedit.1)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/${page}.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
        COMMAND gzip -9nc ${pkg}/${page} > ${CMAKE_BINARY_DIR}/man/${page}.gz
        DEPENDS ${pkg}/${page})
    list(APPEND vrel_docs ${CMAKE_BINARY_DIR}/man/${page}.gz)
    install(FILES ${CMAKE_BINARY_DIR}/man/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/doc/changelog.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/doc
    COMMAND gzip -9nc ${pkg}/changelog > ${CMAKE_BINARY_DIR}/doc/changelog.gz
    DEPENDS ${pkg}/changelog)
list(APPEND vrel_docs ${CMAKE_BINARY_DIR}/doc/changelog.gz)
add_custom_target(vrel_docs ALL DEPENDS ${vrel_docs})
install(FILES ${CMAKE_BINARY_DIR}/doc/changelog.gz ${pkg}/copyright
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vrel-web-camera)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vrel-web-camera)
set(CPACK_PACKAGE_VENDOR "Vrel Kestro Software")
set(CPACK_PACKAGE_CONTACT "Vrel Kestro Software <${VREL_SUPPORT_EMAIL}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "web camera viewer for the notification area")
set(CPACK_PACKAGE_DESCRIPTION
    "Vrel Web Camera lives in the notification area and shows web cameras: the\naddress of a still image that its owner replaces every few minutes, each in\na small window that refreshes itself. Favourite cameras and the maker's\ncamera catalog are kept in tray submenus.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window system plugins of Qt (xcb, wayland) are in a package of their own. libcurl is opened
# with dlopen when downloading begins (net/TCurlLibrary), so dpkg-shlibdeps does not see it; 7.85
# is the first to know CURLOPT_PROTOCOLS_STR, which keeps transfers to http and https.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libcurl4 (>= 7.85.0)")
# xdg-utils: web pages and mail links go through the desktop's default handler. qt6-wayland: on
# a Wayland session without XWayland the program runs as a Wayland client.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-wayland")
include(CPack)
