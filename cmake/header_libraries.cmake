# The header-only libraries Debian packages for us: toml++ (libtomlplusplus-dev)
# reads the exercise files, nlohmann-json (nlohmann-json3-dev) writes the
# graders' JSON. Their headers are copied from the build machine into this
# build tree, so that the cross builds (emscripten, MinGW-w64), which never
# look in the build machine's own include folder, use the same ones.
set(OVRIK_HEADER_LIBRARIES ${CMAKE_BINARY_DIR}/header-libraries)

# ovrik_header_library(TARGET HEADER FOLDER PACKAGE): TARGET gives the folder
# that holds HEADER (a path like toml++/toml.h), found among the build
# machine's headers; PACKAGE is the Debian package to install when it is not.
function(ovrik_header_library target header folder package)
  string(MAKE_C_IDENTIFIER "OVRIK_${target}_INCLUDE" variable)
  find_path(${variable} ${header} PATHS /usr/include /usr/local/include
            NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT ${variable})
    message(FATAL_ERROR "${header} is missing: apt-get install ${package}")
  endif()
  file(COPY ${${variable}}/${folder} DESTINATION ${OVRIK_HEADER_LIBRARIES})
  add_library(${target} INTERFACE)
  # SYSTEM: their own warnings are not ours, and ours are errors.
  target_include_directories(${target} SYSTEM INTERFACE ${OVRIK_HEADER_LIBRARIES})
endfunction()

ovrik_header_library(ovrik_toml toml++/toml.h toml++ libtomlplusplus-dev)
# Header-only, with no formatters: only reading is needed.
target_compile_definitions(ovrik_toml INTERFACE TOML_HEADER_ONLY=1 TOML_ENABLE_FORMATTERS=0)
if(NOT EMSCRIPTEN)  # the page has no command line to grade with
  ovrik_header_library(ovrik_json nlohmann/json.hpp nlohmann nlohmann-json3-dev)
endif()
