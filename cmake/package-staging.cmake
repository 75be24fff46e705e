# Run by cpack on the files it has installed for a package, before it packs them.
if(CPACK_GENERATOR STREQUAL "DEB")
  # Debian wants manual pages compressed with gzip -9n (no name, no time stamp).
  file(GLOB_RECURSE manual_pages
    "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/share/man/*")
  list(FILTER manual_pages EXCLUDE REGEX "\\.gz$")
  foreach(page IN LISTS manual_pages)
    execute_process(COMMAND "${CPACK_OVRIK_GZIP}" -9nf "${page}" COMMAND_ERROR_IS_FATAL ANY)
  endforeach()
endif()
