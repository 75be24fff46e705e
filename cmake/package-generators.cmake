# Read by cpack once for each generator: each package installs its own part of
# the build (cmake/packaging.cmake).
if(CPACK_GENERATOR STREQUAL "DEB")
  # What cmake --install installs, and what only the Debian package has, under /usr.
  set(CPACK_INSTALL_CMAKE_PROJECTS
    "${CPACK_OVRIK_BUILD};ovrik;ALL;/;${CPACK_OVRIK_BUILD};ovrik;debian;/")
elseif(CPACK_GENERATOR STREQUAL "ZIP")
  set(CPACK_INSTALL_CMAKE_PROJECTS "${CPACK_OVRIK_BUILD};ovrik;windows;/")
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-windows")
  # ovrik.exe is a Windows program: the Linux strip does not know it.
  set(CPACK_STRIP_FILES OFF)
endif()
