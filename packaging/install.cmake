# What `cmake --install` and `cpack -G DEB` put where. Installed programs
# never write beside themselves: the installed ssdtest keeps its files in
# /var/lib/ssdtest, the installed lab in the user's data folder, and the lab's
# stand-in viewer lives under libexec, away from the real tester's folder.

# Installed executables are stripped, as `cmake --install --strip` does.
install(CODE "set(CMAKE_INSTALL_DO_STRIP TRUE)")
install(TARGETS ssdtest ssdtest-lab RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Manual pages, compressed; ssdtest-lab's is a link to ssdtest's.
set(SSDTEST_MAN_DIR ${CMAKE_BINARY_DIR}/man)
file(MAKE_DIRECTORY ${SSDTEST_MAN_DIR})
add_custom_command(
  OUTPUT ${SSDTEST_MAN_DIR}/ssdtest.1.gz
  COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/man/ssdtest.1 > ${SSDTEST_MAN_DIR}/ssdtest.1.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/man/ssdtest.1
  VERBATIM)
add_custom_target(man_pages ALL DEPENDS ${SSDTEST_MAN_DIR}/ssdtest.1.gz)
file(CREATE_LINK ssdtest.1.gz ${SSDTEST_MAN_DIR}/ssdtest-lab.1.gz SYMBOLIC)
install(FILES ${SSDTEST_MAN_DIR}/ssdtest.1.gz ${SSDTEST_MAN_DIR}/ssdtest-lab.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES tools/ssdtest@.service DESTINATION lib/systemd/system)

# The example settings of the service go to /etc/default for the /usr prefix
# (as a Debian package installs them), else to <prefix>/etc/default; an
# existing file is the administrator's and stays as it is.
install(CODE "
  set(etc \"\${CMAKE_INSTALL_PREFIX}/etc\")
  if(CMAKE_INSTALL_PREFIX MATCHES \"(^|/)usr/?$\")
    string(REGEX REPLACE \"/?usr/?$\" \"/etc\" etc \"\${CMAKE_INSTALL_PREFIX}\")
  endif()
  if(NOT EXISTS \"\$ENV{DESTDIR}\${etc}/default/ssdtest\")
    file(INSTALL DESTINATION \"\${etc}/default\" TYPE FILE RENAME ssdtest
         FILES \"${PROJECT_SOURCE_DIR}/tools/ssdtest.default\")
  endif()")

# The package's documents: copyright and changelog.
set(SSDTEST_PACKAGE_CONTACT "ssdtest maintainers <ssdtest@example.org>"
    CACHE STRING "Maintainer of the Debian package")
configure_file(packaging/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  COMMAND gzip -9n -c ${CMAKE_BINARY_DIR}/packaging/changelog >
          ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog
  VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
install(FILES packaging/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# cpack -G DEB: one package with everything above.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ssdtest)
set(CPACK_PACKAGE_CONTACT "${SSDTEST_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "endurance test of solid-state drives")
set(CPACK_PACKAGE_DESCRIPTION
    "Writes a pseudo-random pattern to every block of a raw drive, reads it back and\n"
    "counts bit errors, round after round, until the drive's SMART average erase\n"
    "count reaches a target. Keeps a CSV result log per drive and draws reports.\n"
    "ssdtest-lab runs the same tests on simulated drives.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS python3)  # ssdtest-report
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "tmux, python3-matplotlib")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
