# Release packages, made by cpack in a build folder:
#   Linux (Debian):  cpack -G DEB   the client and larkwire-sim, the user's README, the
#                                   examples, the copyright file, the changelog,
#                                   larkwire(1) and larkwire-sim(1)
#   Linux (static):  scripts/package.sh tar packs the install and the tarball
#                                   component: the same files but the changelog
#   Windows (cross): cpack -G ZIP   Larkwire.exe and larkwire-sim.exe, a README for
#                                   Windows and the licence (CR LF), the command files
#                                   and branch-on-status.cmd; scripts/make-msi.sh
#                                   makes an MSI of the same files
set(CPACK_PACKAGE_NAME larkwire)
set(CPACK_PACKAGE_VENDOR "The Larkwire authors")
# The project has no mail address of its own: example.org is reserved for
# examples (RFC 2606), so the address is plainly a placeholder.
set(CPACK_PACKAGE_CONTACT "Larkwire authors <larkwire@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "send one JSON control command to a layer server")
set(CPACK_PACKAGE_DESCRIPTION
    "Larkwire hands one control command (cue, play, continue, stop or eject a layer,
or set an SCTE message) to a layer server over TCP, waits for the server's
answer and tells on the console and through its exit status whether the server
accepted it, so that playout scripts can branch on the result.

larkwire-sim, a rehearsal server, stands in for the layer server: it checks
each request, reports it and answers Ok or Error, or plays a refusal, a lost
connection or a missing answer, so that scripts can be tried without the real
server.")

# The exit-status table of larkwire(1) and the Windows README.
include(${CMAKE_CURRENT_LIST_DIR}/exit-status.cmake)

# The command files of examples/; each system gets its own scripting example.
file(GLOB command_files CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/examples/*.json)

if(WIN32)
  # The linker leaves the symbols out, so that the built executables are the
  # ones shipped: scripts/package.sh may sign them, and a strip after signing
  # would drop the signature.
  if(NOT MSVC)
    target_link_options(larkwire PRIVATE -s)
    target_link_options(larkwire-sim PRIVATE -s)
  endif()
  install(TARGETS larkwire larkwire-sim RUNTIME DESTINATION .)
  # Windows' own line ends for the texts a Windows user opens; the README is
  # written for Windows and carries the version.
  configure_file(packaging/README.windows.txt.in README.txt @ONLY NEWLINE_STYLE CRLF)
  configure_file(LICENSE LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/README.txt ${CMAKE_CURRENT_BINARY_DIR}/LICENSE.txt
          DESTINATION .)
  install(FILES ${command_files} examples/branch-on-status.cmd DESTINATION examples)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME Larkwire-${PROJECT_VERSION}-win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)

  # The MSI's description for wixl (scripts/make-msi.sh), holding what the ZIP
  # holds; the command files are listed here. Its upgrade code is the same for
  # every version; its product code is made from the version, so that each
  # version is a product of its own and a newer one replaces an older.
  set(msi_upgrade_code 485E4EBA-47AB-4273-966A-6172B919031F)
  string(UUID msi_product_code NAMESPACE ${msi_upgrade_code} NAME "Larkwire ${PROJECT_VERSION}"
         TYPE SHA1 UPPER)
  set(msi_example_lines "")
  foreach(example ${command_files})
    get_filename_component(name ${example} NAME)
    string(MAKE_C_IDENTIFIER "example_${name}" id)
    list(APPEND msi_example_lines "              <File Id=\"${id}\" Source=\"examples/${name}\"/>")
  endforeach()
  string(JOIN "\n" msi_example_files ${msi_example_lines})
  configure_file(packaging/larkwire.wxs.in larkwire.wxs @ONLY)
else()
  set(CPACK_STRIP_FILES ON)
  include(GNUInstallDirs)
  install(TARGETS larkwire larkwire-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # Text for the user, not the developer README of the source tree.
  install(FILES packaging/README.user.md DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME README.md)
  install(FILES ${command_files} DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
  install(PROGRAMS examples/branch-on-status.sh DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
  # Sourced by branch-on-status.sh, and by any script that starts a sim.
  install(FILES examples/start-sim.sh DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

  # The manual pages carry the project's version and the documentation folder
  # of the prefix they are built for (/usr for the .deb, /usr/local for the
  # tarball); the Debian changelog is CHANGELOG.md in Debian's format.
  foreach(page larkwire.1 larkwire-sim.1)
    configure_file(man/${page}.in ${CMAKE_CURRENT_BINARY_DIR}/man/${page} @ONLY)
  endforeach()
  add_custom_command(
    OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/changelog
    COMMAND ${PROJECT_SOURCE_DIR}/cmake/debian-changelog.sh ${PROJECT_SOURCE_DIR}/CHANGELOG.md
            ${PROJECT_VERSION} ${CPACK_PACKAGE_CONTACT} > ${CMAKE_CURRENT_BINARY_DIR}/changelog
    DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${PROJECT_SOURCE_DIR}/cmake/debian-changelog.sh
    VERBATIM)
  # Debian keeps its manual pages and changelogs compressed, without a time stamp.
  foreach(text man/larkwire.1 man/larkwire-sim.1 changelog)
    get_filename_component(name ${text} NAME)
    set(compressed ${CMAKE_CURRENT_BINARY_DIR}/${name}.gz)
    add_custom_command(
      OUTPUT ${compressed}
      COMMAND gzip -9 -n -c ${CMAKE_CURRENT_BINARY_DIR}/${text} > ${compressed}
      DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/${text}
      VERBATIM)
    add_custom_target(gzip_${name} ALL DEPENDS ${compressed})
  endforeach()
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/larkwire.1.gz ${CMAKE_CURRENT_BINARY_DIR}/larkwire-sim.1.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

  # The Debian changelog and the DEP-5 copyright file belong to whoever makes
  # the Debian package (dh_installchangelogs and dh_installdocs write these
  # paths): a plain install leaves them out, and only the project's own .deb,
  # which installs this component too, holds them.
  install(FILES packaging/copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT debian EXCLUDE_FROM_ALL)
  # The tarball carries the copyright file too: it holds the licence and the
  # notices that the linked-in libraries ask binaries to reproduce; and, as
  # its programs hold the C library, that library's licence and where its
  # source is.
  install(FILES packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT tarball
          EXCLUDE_FROM_ALL)
  if(LARKWIRE_STATIC)
    execute_process(COMMAND dpkg-query --show --showformat=\${Version} libc6
                    OUTPUT_VARIABLE LARKWIRE_LIBC_VERSION COMMAND_ERROR_IS_FATAL ANY)
    configure_file(packaging/static-notice.txt.in static-notice.txt @ONLY)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/static-notice.txt DESTINATION ${CMAKE_INSTALL_DOCDIR}
            RENAME NOTICE COMPONENT tarball EXCLUDE_FROM_ALL)
    install(FILES /usr/share/common-licenses/LGPL-2.1 DESTINATION ${CMAKE_INSTALL_DOCDIR}
            COMPONENT tarball EXCLUDE_FROM_ALL)
  endif()
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL Unspecified debian)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)

  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION net)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
