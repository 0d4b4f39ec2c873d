# Install layout and the Debian package. Programs go to bin/, resources to
# share/dorvane/ (the app finds them beside its bin/ folder).
foreach(program dorvane VaneFileProvider)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME dorvane)
set(CPACK_PACKAGE_VENDOR "Dorvane")
set(CPACK_PACKAGE_CONTACT "Dorvane developers <dev@dorvane.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Android phone storage in the Linux file manager")
set(CPACK_PACKAGE_DESCRIPTION "Dorvane mounts the shared storage of Android phones, over USB or Wi-Fi, as folders of the file manager, through adb and FUSE.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the programs run or load besides the libraries they link.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adb, fuse3, qt6-qpa-plugins, libqt6svg6")
set(CPACK_STRIP_FILES ON)
include(CPack)
