# Installation and the Debian package: the programs go to bin/ and their
# manual pages, compressed as Debian expects, to share/man/man1/.
# Included at the end of the top-level CMakeLists.txt, once every target exists.
include(GNUInstallDirs)

find_program(QARPOST_GZIP gzip)

# Installs man/<name>.1 as <name>.1.gz (plain when gzip is missing); -n keeps
# the name and time out of the gzip header, so the page is reproducible.
function(qarpost_install_manual_page name)
  set(page ${CMAKE_SOURCE_DIR}/man/${name}.1)
  if(NOT QARPOST_GZIP)
    install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    return()
  endif()
  set(copy ${CMAKE_BINARY_DIR}/man/${name}.1)
  add_custom_command(OUTPUT ${copy}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${page} ${copy}
    COMMAND ${QARPOST_GZIP} -9 -n -f ${copy}
    DEPENDS ${page}
    COMMENT "Compressing manual page ${name}.1"
    VERBATIM)
  add_custom_target(${name}_manual_page ALL DEPENDS ${copy}.gz)
  install(FILES ${copy}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

install(TARGETS qarpost RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
qarpost_install_manual_page(qarpost)

# The export program is built on its own branch; its page ships with it.
if(TARGET qarpost-export)
  install(TARGETS qarpost-export RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  qarpost_install_manual_page(qarpost-export)
endif()

# cpack (or cpack -G DEB) builds qarpost_<version>_<arch>.deb in the build folder.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qarpost)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Halvorin Tarvo")
set(CPACK_PACKAGE_CONTACT "qarpost maintainers <qarpost@halvorin-tarvo.invalid>" CACHE STRING
  "Maintainer of the Debian package (name <address>)")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "post-processor of the Tarvo test coverage analyzer for C and C++")
# The long description keeps the short lines a Debian control file wants.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "qarpost reads the symbol files written by the instrumenting compiler and"
  "the data files written by the instrumented programs, merges them, and"
  "writes execution profile, untested code and execution time listings and"
  "an XML report. It also adds data files or symbol files into one and lists"
  "what they contain.")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Dependencies (the C and C++ runtime libraries) come from dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
