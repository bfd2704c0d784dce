# The release for Windows users: `cmake --build --preset win64 --target
# package` makes build/win64/qarn-<version>-win64.zip, a folder of the same
# name holding qarn.exe, qarn-render.exe, README.txt and, in licences/, the
# licence texts of every library linked into them. Both programs link
# everything statically (cmake/mingw-w64.cmake): zlib, the MinGW-w64 runtime
# with its winpthreads, libgcc and libstdc++; qarn-render also CLI11 (header
# only). The texts come from the Debian packages that the cross build uses.

install(TARGETS qarn qarn-render RUNTIME DESTINATION .)
install(FILES ${CMAKE_SOURCE_DIR}/docs/windows/README.txt DESTINATION .)

# (the file in the zip, the build machine's file)
set(_qarn_licences
  "zlib.txt|/usr/share/doc/libz-mingw-w64-dev/copyright"
  "mingw-w64-runtime-and-winpthreads.txt|/usr/share/doc/mingw-w64-x86-64-dev/copyright"
  "gcc-libgcc-libstdc++.txt|/usr/share/doc/gcc-mingw-w64-base/copyright"
  "GPL-3.txt|/usr/share/common-licenses/GPL-3"
  "CLI11.txt|/usr/share/doc/libcli11-dev/copyright"
  # GMP and MPFR, built from Debian's sources by scripts/mingw-deps (LGPL-3,
  # which builds on the GPL-3 above).
  "GMP.txt|${CMAKE_SOURCE_DIR}/build/mingw-deps/licences/gmp-COPYING.LESSERv3"
  "MPFR.txt|${CMAKE_SOURCE_DIR}/build/mingw-deps/licences/mpfr-COPYING.LESSER")
foreach(_entry IN LISTS _qarn_licences)
  string(REPLACE "|" ";" _pair "${_entry}")
  list(GET _pair 0 _name)
  list(GET _pair 1 _source)
  if(NOT EXISTS "${_source}")
    message(FATAL_ERROR "${_source} is missing: the release must carry it (run scripts/bootstrap and scripts/mingw-deps)")
  endif()
  install(FILES "${_source}" DESTINATION licences RENAME "${_name}")
endforeach()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME qarn)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME qarn-${PROJECT_VERSION}-win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
# Only the programs: the tests are not installed, and nothing else is.
set(CPACK_STRIP_FILES ON)
include(CPack)
