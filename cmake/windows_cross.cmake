# Windows executables built on Linux: GoogleTest is built for the target from
# the sources Debian ships (libgtest-dev), and tests run under wine64 in a
# prefix of the build's own (see tools/windows/wine-run).
if(QUILLANE_BUILD_TESTS)
  set(QUILLANE_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to build for the target")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${QUILLANE_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

find_program(QUILLANE_WINE64 wine64 HINTS /usr/lib/wine)
if(QUILLANE_WINE64)
  set(QUILLANE_WINEPREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
  set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_SOURCE_DIR}/tools/windows/wine-run ${QUILLANE_WINE64} ${QUILLANE_WINEPREFIX})
else()
  message(STATUS "wine64 not found: the Windows tests are built but cannot run here")
endif()

# Under wine the ANSI code page follows the Unix locale. The tests that run
# under the Chinese page need a real zh_CN.UTF-8 locale (else wine cannot map
# Chinese file names to the disk): it is compiled into the build folder, so
# nothing on the machine changes (localedef from libc-bin, sources from the
# locales package).
find_program(QUILLANE_LOCALEDEF localedef)
if(QUILLANE_WINE64 AND QUILLANE_LOCALEDEF)
  set(QUILLANE_TEST_LOCALES ${CMAKE_BINARY_DIR}/locales)
  add_custom_command(OUTPUT ${QUILLANE_TEST_LOCALES}/zh_CN.UTF-8/LC_CTYPE
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QUILLANE_TEST_LOCALES}
    COMMAND ${QUILLANE_LOCALEDEF} -i zh_CN -f UTF-8 ${QUILLANE_TEST_LOCALES}/zh_CN.UTF-8
    COMMENT "Compiling the zh_CN.UTF-8 locale for the tests under the Chinese code page")
  add_custom_target(quillane_test_locales ALL DEPENDS ${QUILLANE_TEST_LOCALES}/zh_CN.UTF-8/LC_CTYPE)
endif()
