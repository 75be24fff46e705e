# The release packages, made by CPack from this build (the package preset):
#   ovrik_VERSION_amd64.deb       this build's program, installed under /usr
#   ovrik-VERSION-windows.zip     ovrik.exe, unpacked into one folder
# Both carry the guide as one HTML page, the examples with their listings, the
# exercises and the playground. ovrik.exe and the playground come from two more builds of
# these sources, made here in build trees of their own: one with MinGW-w64
# (cmake/mingw-w64.cmake), one with emscripten (web/).
option(OVRIK_PACKAGES "Build ovrik.exe and the playground too, and set up the release packages" OFF)
if(NOT OVRIK_PACKAGES)
  return()
endif()
if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
  message(FATAL_ERROR "The release packages are made on Debian (OVRIK_PACKAGES).")
endif()

set(OVRIK_EMSCRIPTEN_TOOLCHAIN /usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake
    CACHE FILEPATH "emscripten's CMake toolchain file, for the playground")
set(OVRIK_PACKAGE_MAINTAINER "ovrik maintainers <maintainers@ovrik.example.org>"
    CACHE STRING "Maintainer named in the Debian package and its changelog")

include(ExternalProject)
set(OVRIK_WINDOWS_BUILD ${CMAKE_BINARY_DIR}/windows)
set(OVRIK_WASM_BUILD ${CMAKE_BINARY_DIR}/wasm)
set(OVRIK_PLAYGROUND ${OVRIK_WASM_BUILD}/playground)
set(OVRIK_PACKAGE_FILES ${CMAKE_BINARY_DIR}/package-files)
# The two builds always run (their own build tool decides what is out of date),
# one at a time, in the console's pool: each uses every core on its own.
ExternalProject_Add(ovrik_windows
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${OVRIK_WINDOWS_BUILD}
  PREFIX ${CMAKE_BINARY_DIR}/external
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-w64.cmake
    -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_EXE_LINKER_FLAGS=-s
    -DOVRIK_BUILD_TESTS=OFF
  BUILD_ALWAYS ON
  USES_TERMINAL_CONFIGURE ON
  USES_TERMINAL_BUILD ON
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS ${OVRIK_WINDOWS_BUILD}/ovrik.exe)
ExternalProject_Add(ovrik_playground
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${OVRIK_WASM_BUILD}
  PREFIX ${CMAKE_BINARY_DIR}/external
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${OVRIK_EMSCRIPTEN_TOOLCHAIN}
    -DCMAKE_BUILD_TYPE=Release
    -DOVRIK_BUILD_TESTS=OFF
  BUILD_ALWAYS ON
  USES_TERMINAL_CONFIGURE ON
  USES_TERMINAL_BUILD ON
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS ${OVRIK_PLAYGROUND}/index.html ${OVRIK_PLAYGROUND}/guide.html)

# Debian wants its changelog compressed with gzip -9n (no name, no time stamp,
# so that the same sources give the same package).
find_program(OVRIK_GZIP gzip REQUIRED)
string(TIMESTAMP OVRIK_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(packaging/changelog.in ${OVRIK_PACKAGE_FILES}/changelog @ONLY)
add_custom_command(
  OUTPUT ${OVRIK_PACKAGE_FILES}/changelog.gz
  COMMAND ${OVRIK_GZIP} -9nkf ${OVRIK_PACKAGE_FILES}/changelog
  DEPENDS ${OVRIK_PACKAGE_FILES}/changelog
  VERBATIM)
# What Windows users read first: CR LF line ends, so that Notepad shows lines.
configure_file(packaging/README.txt.in ${OVRIK_PACKAGE_FILES}/README.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(packaging/copyright.in ${OVRIK_PACKAGE_FILES}/copyright @ONLY)
configure_file(packaging/copyright.in ${OVRIK_PACKAGE_FILES}/copyright.txt @ONLY NEWLINE_STYLE CRLF)
add_custom_target(ovrik_package_files ALL
  DEPENDS ${OVRIK_PACKAGE_FILES}/changelog.gz ovrik_windows ovrik_playground)

# Installed with the program: the playground, the guide as one page, and the
# copyright file, which credits the playground's editor.
install(DIRECTORY ${OVRIK_PLAYGROUND}/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/playground)
install(FILES ${OVRIK_PLAYGROUND}/guide.html ${OVRIK_PACKAGE_FILES}/copyright
  DESTINATION ${CMAKE_INSTALL_DOCDIR})
# What only the Debian package has: the changelog Debian asks for, the guide in
# the system's list of documents, and the note to lintian that the program is
# linked statically on purpose (see the top CMakeLists.txt).
install(FILES ${OVRIK_PACKAGE_FILES}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR}
  COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES packaging/doc-base DESTINATION ${CMAKE_INSTALL_DATADIR}/doc-base RENAME ovrik-guide
  COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES packaging/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
  RENAME ovrik COMPONENT debian EXCLUDE_FROM_ALL)

# The Windows folder, a component of its own that only the zip installs.
install(PROGRAMS ${OVRIK_WINDOWS_BUILD}/ovrik.exe DESTINATION . COMPONENT windows EXCLUDE_FROM_ALL)
install(FILES ${OVRIK_PACKAGE_FILES}/README.txt ${OVRIK_PACKAGE_FILES}/copyright.txt
  ${OVRIK_PLAYGROUND}/guide.html DESTINATION . COMPONENT windows EXCLUDE_FROM_ALL)
install(DIRECTORY ${OVRIK_PLAYGROUND}/ DESTINATION playground COMPONENT windows EXCLUDE_FROM_ALL)
install(DIRECTORY examples/ DESTINATION examples COMPONENT windows EXCLUDE_FROM_ALL
  FILES_MATCHING PATTERN "*.txt" PATTERN "*.ovr")
install(DIRECTORY exercises/ DESTINATION exercises COMPONENT windows EXCLUDE_FROM_ALL
  FILES_MATCHING PATTERN "*.toml")

set(CPACK_PACKAGE_NAME ovrik)
set(CPACK_PACKAGE_VENDOR "ovrik")
set(CPACK_PACKAGE_CONTACT "${OVRIK_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "assembler for a small educational 8-bit computer")
set(CPACK_GENERATOR DEB ZIP)
set(CPACK_STRIP_FILES ON)
set(CPACK_THREADS 0)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "The computer has 256 words of memory in 16 pages of 16 words, and an
instruction reaches only the words of its own page directly. ovrik lays a
program out page by page, gives every page a pool of the variables and
constants its instructions use, turns references to other pages into
indirect ones, encodes every word and writes a listing.
.
The guide to the source language, the example programs and a playground
that runs in a web browser are in /usr/share/doc/ovrik.")
# The zip's single folder is named after the file.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
# Each generator installs its own part of this build (cmake/package-generators.cmake).
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/package-generators.cmake)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/package-staging.cmake)
set(CPACK_OVRIK_BUILD ${CMAKE_BINARY_DIR})
set(CPACK_OVRIK_GZIP ${OVRIK_GZIP})
include(CPack)
