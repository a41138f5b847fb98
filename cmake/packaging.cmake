# Release packages, made by cpack in a build folder:
#   Linux (Debian):  cpack -G DEB   the client and larkwire-sim, the user's README, the
#                                   examples, the copyright file, the changelog,
#                                   larkwire(1) and larkwire-sim(1)
#   Windows (cross): cpack -G ZIP   Larkwire.exe and larkwire-sim.exe, a CR LF quick start,
#                                   the user's README, the licence and the examples
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
set(CPACK_STRIP_FILES ON)

# Text for the user, not the developer README of the source tree.
set(user_readme ${PROJECT_SOURCE_DIR}/doc/README.user.md)
# The command files, and the shell example executable as in the source tree.
function(install_examples destination)
  install(DIRECTORY examples/ DESTINATION ${destination}
          PATTERN "*.sh" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                     GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endfunction()

if(WIN32)
  install(TARGETS larkwire larkwire-sim RUNTIME DESTINATION .)
  # Windows' own line ends for the texts a Windows user opens first.
  foreach(text doc/windows-quickstart.txt:QUICKSTART.txt LICENSE:LICENSE.txt)
    string(REPLACE ":" ";" text ${text})
    list(GET text 0 source)
    list(GET text 1 target)
    file(READ ${PROJECT_SOURCE_DIR}/${source} content)
    string(REPLACE "\n" "\r\n" content "${content}")
    file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/${target} "${content}")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
                                           ${PROJECT_SOURCE_DIR}/${source})
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${target} DESTINATION .)
  endforeach()
  install(FILES ${user_readme} DESTINATION . RENAME README.md)
  install_examples(examples)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME Larkwire-${PROJECT_VERSION}-win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  include(GNUInstallDirs)
  install(TARGETS larkwire larkwire-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${user_readme} DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME README.md)
  install_examples(${CMAKE_INSTALL_DOCDIR}/examples)

  # The manual pages carry the project's version; the Debian changelog is
  # CHANGELOG.md in Debian's format.
  foreach(page larkwire.1 larkwire-sim.1)
    configure_file(doc/${page}.in ${CMAKE_CURRENT_BINARY_DIR}/doc/${page} @ONLY)
  endforeach()
  add_custom_command(
    OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/doc/changelog
    COMMAND ${PROJECT_SOURCE_DIR}/cmake/debian-changelog.sh ${PROJECT_SOURCE_DIR}/CHANGELOG.md
            ${PROJECT_VERSION} ${CPACK_PACKAGE_CONTACT} > ${CMAKE_CURRENT_BINARY_DIR}/doc/changelog
    DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${PROJECT_SOURCE_DIR}/cmake/debian-changelog.sh
    VERBATIM)
  # Debian keeps its manual pages and changelogs compressed, without a time stamp.
  foreach(page larkwire.1 larkwire-sim.1 changelog)
    set(compressed ${CMAKE_CURRENT_BINARY_DIR}/${page}.gz)
    add_custom_command(
      OUTPUT ${compressed}
      COMMAND gzip -9 -n -c ${CMAKE_CURRENT_BINARY_DIR}/doc/${page} > ${compressed}
      DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/doc/${page}
      VERBATIM)
    add_custom_target(gzip_${page} ALL DEPENDS ${compressed})
  endforeach()
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/larkwire.1.gz ${CMAKE_CURRENT_BINARY_DIR}/larkwire-sim.1.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

  # The Debian changelog and the DEP-5 copyright file belong to whoever makes
  # the Debian package (dh_installchangelogs and dh_installdocs write these
  # paths): a plain install leaves them out, and only the project's own .deb,
  # which installs this component too, holds them.
  install(FILES doc/copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT debian EXCLUDE_FROM_ALL)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL Unspecified debian)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)

  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION net)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
