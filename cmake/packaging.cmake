# Release packages, made by cpack in a build folder:
#   Linux (Debian):  cpack -G DEB   the client and larkwire-sim, the README, the examples
#                                   and larkwire(1), larkwire-sim(1)
#   Windows (cross): cpack -G ZIP   Larkwire.exe and larkwire-sim.exe, the README and the
#                                   examples
set(CPACK_PACKAGE_NAME larkwire)
set(CPACK_PACKAGE_VENDOR Larkwire)
set(CPACK_PACKAGE_CONTACT "Larkwire developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "hands one JSON control command to a layer server and reports the outcome")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  install(TARGETS larkwire larkwire-sim RUNTIME DESTINATION .)
  install(FILES README.md DESTINATION .)
  install(DIRECTORY examples/ DESTINATION examples)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME Larkwire-${PROJECT_VERSION}-win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  include(GNUInstallDirs)
  install(TARGETS larkwire larkwire-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(DIRECTORY examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

  # Debian keeps its manual pages compressed.
  foreach(page larkwire.1 larkwire-sim.1)
    set(manual_page ${CMAKE_CURRENT_BINARY_DIR}/${page}.gz)
    add_custom_command(
      OUTPUT ${manual_page}
      COMMAND gzip -9 -n -c ${PROJECT_SOURCE_DIR}/doc/${page} > ${manual_page}
      DEPENDS ${PROJECT_SOURCE_DIR}/doc/${page}
      VERBATIM)
    add_custom_target(${page} ALL DEPENDS ${manual_page})
    install(FILES ${manual_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()

  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION net)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
