# What `make install` puts where, and the Debian package that CPack builds from it
# (`make package`): velkin, velkin-gui with its desktop entry, the competition script
# and the manual page.
include(GNUInstallDirs)

install(TARGETS velkin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET velkin-gui)
  install(TARGETS velkin-gui RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES packaging/velkin-gui.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
endif()

# The competition script, told where the installed velkin is relative to itself, so that
# it finds it under any prefix (also in a package unpacked into another root).
set(VELKIN_SOLVER_DIR ${CMAKE_INSTALL_DATADIR}/velkin/termcomp)
file(RELATIVE_PATH VELKIN_SOLVER_TO_BIN /${VELKIN_SOLVER_DIR} /${CMAKE_INSTALL_BINDIR})
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/termcomp/solver)
file(READ ${CMAKE_SOURCE_DIR}/termcomp/solver VELKIN_SOLVER_TEXT)
string(FIND "${VELKIN_SOLVER_TEXT}" "installed_bindir=\"\"" VELKIN_SOLVER_MARK)
if(VELKIN_SOLVER_MARK LESS 0)
  message(FATAL_ERROR "termcomp/solver lacks the line installed_bindir=\"\"")
endif()
string(REPLACE "installed_bindir=\"\"" "installed_bindir=\"${VELKIN_SOLVER_TO_BIN}\""
       VELKIN_SOLVER_TEXT "${VELKIN_SOLVER_TEXT}")
file(WRITE ${CMAKE_BINARY_DIR}/termcomp/solver "${VELKIN_SOLVER_TEXT}")
install(PROGRAMS ${CMAKE_BINARY_DIR}/termcomp/solver DESTINATION ${VELKIN_SOLVER_DIR})

# The manual page, with the version filled in, compressed as Debian keeps manual pages.
set(VELKIN_SOLVER_PATH "${VELKIN_SOLVER_DIR}/solver")
configure_file(docs/velkin.1.in ${CMAKE_BINARY_DIR}/velkin.1 @ONLY)
find_program(GZIP_PROGRAM gzip REQUIRED)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/velkin.1.gz
  COMMAND ${GZIP_PROGRAM} -9nc ${CMAKE_BINARY_DIR}/velkin.1 > ${CMAKE_BINARY_DIR}/velkin.1.gz
  DEPENDS ${CMAKE_BINARY_DIR}/velkin.1 VERBATIM)
add_custom_target(velkin_manual ALL DEPENDS ${CMAKE_BINARY_DIR}/velkin.1.gz)
install(FILES ${CMAKE_BINARY_DIR}/velkin.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velkin)
set(CPACK_PACKAGE_VENDOR VELKIN)
set(CPACK_PACKAGE_CONTACT "VELKIN developers <velkin@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "termination prover for string rewriting systems, with a window and a batch mode")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "VELKIN proves termination of string rewriting systems R, or relative termination\n\
R/S, or finds a looping derivation. It reads plain, tpdb, XTC and ARI files, runs\n\
single problems or whole collections on several threads, draws cactus plots of the\n\
results, and answers the termination competition's calls.")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE gzip)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
