# Install layout and the Debian package. Programs go to bin/, resources to
# share/dorvane/ (the app finds them beside its bin/ folder), the launcher
# entry to share/applications/ and the icon to the hicolor theme (both from
# resources/).
foreach(program dorvane VaneFileProvider)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

set(DORVANE_PACKAGE_CONTACT "Dorvane developers <dev@dorvane.invalid>")

# Debian wants a copyright file and a compressed changelog in the package's
# doc folder, and a manual page for each program; gzip -n keeps the package
# the same bytes from build to build.
set(package_doc_dir ${CMAKE_BINARY_DIR}/packaging)
configure_file(${CMAKE_CURRENT_LIST_DIR}/packaging/changelog.in ${package_doc_dir}/changelog @ONLY)
add_custom_command(OUTPUT ${package_doc_dir}/changelog.gz
  COMMAND gzip -9 -n -c ${package_doc_dir}/changelog > ${package_doc_dir}/changelog.gz
  DEPENDS ${package_doc_dir}/changelog
  COMMENT "Compressing the package changelog")
set(package_docs ${package_doc_dir}/changelog.gz)
foreach(page dorvane VaneFileProvider)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/packaging/${page}.1 ${package_doc_dir}/${page}.1 @ONLY)
  add_custom_command(OUTPUT ${package_doc_dir}/${page}.1.gz
    COMMAND gzip -9 -n -c ${package_doc_dir}/${page}.1 > ${package_doc_dir}/${page}.1.gz
    DEPENDS ${package_doc_dir}/${page}.1
    COMMENT "Compressing the manual page of ${page}")
  list(APPEND package_docs ${package_doc_dir}/${page}.1.gz)
  install(FILES ${package_doc_dir}/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_target(dorvane_package_docs ALL DEPENDS ${package_docs})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/packaging/copyright ${package_doc_dir}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/dorvane)

# Installing and packaging need the installed targets only, not every test
# program; scripts/check-package builds those first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME dorvane)
set(CPACK_PACKAGE_VENDOR "Dorvane")
set(CPACK_PACKAGE_CONTACT "${DORVANE_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Android phone storage in the Linux file manager")
set(CPACK_PACKAGE_DESCRIPTION "Dorvane puts the shared storage of Android phones in the file manager.\n\
Press Mount on a phone's card and its storage appears as a folder under\n\
~/Phones, over USB or Wi-Fi, where files can be browsed, opened, copied,\n\
renamed and deleted. It drives the adb tool and mounts each phone with\n\
FUSE; no app is needed on the phone, only USB debugging.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# dpkg-shlibdeps finds the libraries the programs link: Qt 6 Core, Gui,
# Widgets, Svg and DBus, QCoro's Core, libfuse3 and the C++ runtime.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the programs run or load besides the libraries they link: the adb tool
# and server, fusermount3, Qt's X11 platform plugin and its SVG library.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adb, fuse3, qt6-qpa-plugins, libqt6svg6")
# Opening a mounted phone in the file manager goes through xdg-open; Wayland
# sessions need Qt's Wayland plugin.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
