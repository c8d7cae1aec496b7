# SPDX-License-Identifier: Apache-2.0
# Installation under one prefix, following the freedesktop layout, and the Debian package
# made from it. Targets that are not part of this build are left out.

set(OMBREL_APP_ID org.varnock.Ombrel)

# The library is the programs' own, so it lives in a folder of theirs rather than among the
# system's shared libraries. The programs find it through a run path relative to themselves,
# so an installed or unpacked tree runs without LD_LIBRARY_PATH. The build tree has the same
# layout (programs one folder below the top, the library in the same folder under it), so the programs are
# linked with that run path from the start: nothing is rewritten at install time, and the run
# path never gets the empty element that would make the loader search the working folder.
if(TARGET certmgr)
  set_target_properties(certmgr PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/${OMBREL_PRIVATE_LIBDIR})
  # Only the programs link the library, so neither its headers nor its development link go in.
  install(TARGETS certmgr LIBRARY DESTINATION ${OMBREL_PRIVATE_LIBDIR} NAMELINK_SKIP)
endif()
foreach(program ombrel ombrel-cli)
  if(TARGET ${program})
    file(RELATIVE_PATH _to_lib ${PROJECT_BINARY_DIR}/${CMAKE_INSTALL_BINDIR} ${PROJECT_BINARY_DIR}/${OMBREL_PRIVATE_LIBDIR})
    set_target_properties(${program} PROPERTIES
      INSTALL_RPATH "$ORIGIN/${_to_lib}"
      BUILD_WITH_INSTALL_RPATH ON)
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

set(_res ${PROJECT_SOURCE_DIR}/res)
install(FILES ${_res}/${OMBREL_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The release in the metainfo comes from the project's version, like every other version text.
configure_file(${_res}/${OMBREL_APP_ID}.metainfo.xml.in ${CMAKE_CURRENT_BINARY_DIR}/${OMBREL_APP_ID}.metainfo.xml
               @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${OMBREL_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# Debian's copyright file and changelog, in the package's documentation folder.
set(_doc ${CMAKE_INSTALL_DATADIR}/doc/ombrel)
configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/changelog.in ${CMAKE_CURRENT_BINARY_DIR}/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
                   COMMAND gzip -9nc ${CMAKE_CURRENT_BINARY_DIR}/changelog > ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
                   DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog VERBATIM)
add_custom_target(ombrel-changelog ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
        DESTINATION ${_doc})
foreach(size 16 32 48 64)
  install(FILES ${_res}/icons/ombrel-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${OMBREL_APP_ID}.png)
endforeach()
install(FILES ${_res}/icons/ombrel.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${OMBREL_APP_ID}.svg)

# Manual pages are installed compressed, as Debian's policy asks; -n keeps the name and
# time out of the archive so that the package is reproducible.
set(OMBREL_SHORT_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR})
if(TARGET ombrel-cli)
  configure_file(${PROJECT_SOURCE_DIR}/cli/ombrel-cli.1.in ${CMAKE_CURRENT_BINARY_DIR}/ombrel-cli.1 @ONLY)
  set(_man ${CMAKE_CURRENT_BINARY_DIR}/ombrel-cli.1.gz)
  add_custom_command(OUTPUT ${_man}
                     COMMAND gzip -9nc ${CMAKE_CURRENT_BINARY_DIR}/ombrel-cli.1 > ${_man}
                     DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/ombrel-cli.1 VERBATIM)
  add_custom_target(ombrel-cli-man ALL DEPENDS ${_man})
  install(FILES ${_man} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  # Loaded by bash-completion on demand, by the command's name.
  install(FILES ${PROJECT_SOURCE_DIR}/cli/ombrel-cli.bash-completion
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME ombrel-cli)
endif()
if(TARGET ombrel)
  configure_file(${PROJECT_SOURCE_DIR}/ui/ombrel.1.in ${CMAKE_CURRENT_BINARY_DIR}/ombrel.1 @ONLY)
  set(_man ${CMAKE_CURRENT_BINARY_DIR}/ombrel.1.gz)
  add_custom_command(OUTPUT ${_man}
                     COMMAND gzip -9nc ${CMAKE_CURRENT_BINARY_DIR}/ombrel.1 > ${_man}
                     DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/ombrel.1 VERBATIM)
  add_custom_target(ombrel-man ALL DEPENDS ${_man})
  install(FILES ${_man} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# The Debian package: `make package`, or `cpack` in the build tree.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ombrel)
set(CPACK_PACKAGE_VENDOR "Varnock Software")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "make X.509 certificates with new keys in PKCS #12 files")
set(CPACK_PACKAGE_DESCRIPTION
    "Ombrel makes an X.509 certificate with a fresh RSA key and writes both to a\n\
password-protected PKCS #12 (.pfx) file, self-signed or issued by a signing\n\
certificate. It comes as a desktop program, ombrel, and as a command,\n\
ombrel-cli, for scripts.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Varnock Software <support@varnock.example>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.varnock.example/)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# Dependencies are read from the binaries by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
