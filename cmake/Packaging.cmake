# SPDX-License-Identifier: Apache-2.0
# Installation under one prefix, following the freedesktop layout, and the Debian package
# made from it. Targets that are not part of this build are left out.

set(OMBREL_APP_ID org.varnock.Ombrel)

# The programs find the library beside them, so an installed or unpacked tree runs without
# LD_LIBRARY_PATH.
foreach(program ombrel ombrel-cli)
  if(TARGET ${program})
    set_target_properties(${program} PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

# Only the programs link the library, so neither its headers nor its development link go in.
if(TARGET certmgr)
  install(TARGETS certmgr LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} NAMELINK_SKIP)
endif()

set(_res ${PROJECT_SOURCE_DIR}/res)
install(FILES ${_res}/${OMBREL_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_res}/${OMBREL_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 32 48 64)
  install(FILES ${_res}/icons/ombrel-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${OMBREL_APP_ID}.png)
endforeach()
install(FILES ${_res}/icons/ombrel.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${OMBREL_APP_ID}.svg)

# Manual pages are installed compressed, as Debian's policy asks; -n keeps the name and
# time out of the archive so that the package is reproducible.
if(TARGET ombrel-cli)
  set(_man ${CMAKE_CURRENT_BINARY_DIR}/ombrel-cli.1.gz)
  add_custom_command(OUTPUT ${_man}
                     COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/cli/ombrel-cli.1 > ${_man}
                     DEPENDS ${PROJECT_SOURCE_DIR}/cli/ombrel-cli.1 VERBATIM)
  add_custom_target(ombrel-cli-man ALL DEPENDS ${_man})
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
