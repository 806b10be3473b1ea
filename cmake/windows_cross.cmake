# Windows executables built on Linux: GoogleTest is built for the target from
# the sources Debian ships (libgtest-dev), and tests run under wine64 in a
# prefix of the build's own (see tools/windows/wine-run).
set(QUILLANE_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to build for the target")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${QUILLANE_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

find_program(QUILLANE_WINE64 wine64 HINTS /usr/lib/wine)
if(QUILLANE_WINE64)
  set(QUILLANE_WINEPREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
  set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_SOURCE_DIR}/tools/windows/wine-run ${QUILLANE_WINE64} ${QUILLANE_WINEPREFIX})
else()
  message(STATUS "wine64 not found: the Windows tests are built but cannot run here")
endif()
