# Cross-build for 64-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-x86-64).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(OVRIK_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_CXX_COMPILER ${OVRIK_MINGW_TRIPLET}-g++)

# Headers and libraries come from the MinGW-w64 tree only, never from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${OVRIK_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)


# At -O3 this GCC 12 inlines libstdc++'s string concatenation far enough to
# raise false -Wrestrict and -Warray-bounds alarms, which warnings-as-errors
# would turn into a failed build; -O2 builds clean and is ample for the program.
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags for the Release build")
