# The packages: zarn_VERSION_amd64.deb and zarn-VERSION.x86_64.rpm from a
# Linux build, zarn-VERSION-windows-x86_64.zip and the installer
# zarn-VERSION-x64.msi, of the same files, from the Windows one. Their
# dependencies are found from the binaries by each system's own tools.
set(CPACK_PACKAGE_NAME zarn)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The tvxanal project")
set(CPACK_PACKAGE_CONTACT "tvxanal maintainers <tvxanal@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Server inventory analysis for RAID adapter support")
set(CPACK_PACKAGE_DESCRIPTION
    "zarn collects the hardware and software inventory of a server and runs the\n"
    "tvxanal analysis plug-in over it: RAID adapters, disks, PCI devices,\n"
    "installed software, services and the system event log. It reports what\n"
    "needs attention, runs as a monitoring check and re-analyses archives of\n"
    "inventories.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://example.org/tvxanal")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR "ZIP;External")
  set(CPACK_PACKAGE_FILE_NAME zarn-${PROJECT_VERSION}-windows-x86_64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_EXTERNAL_ENABLE_STAGING ON)
  set(CPACK_EXTERNAL_PACKAGE_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/MsiPackage.cmake)
  set(CPACK_ZARN_BUILD_MSI ${PROJECT_SOURCE_DIR}/packaging/build-msi)
  # Each package strips the binaries anew, and stripping stamps them with the
  # time; stamped with the last commit's time instead, the zip and the
  # installer hold the same bytes.
  execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                  OUTPUT_VARIABLE source_date OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(NOT source_date)
    string(TIMESTAMP source_date "%s" UTC)
  endif()
  set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/CPackSourceDate.cmake)
  file(WRITE ${CPACK_PROJECT_CONFIG_FILE} "set(ENV{SOURCE_DATE_EPOCH} ${source_date})\n")
else()
  set(CPACK_GENERATOR "DEB;RPM")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION admin)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # dpkg-shlibdeps finds the private host core library beside the program.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/conffiles)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

  set(CPACK_RPM_FILE_NAME zarn-${PROJECT_VERSION}.x86_64.rpm)
  set(CPACK_RPM_PACKAGE_LICENSE "Proprietary")
  set(CPACK_RPM_PACKAGE_GROUP "Applications/System")
  set(CPACK_RPM_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
  # rpmbuild finds the requirements in the binaries; the private host core
  # library is the package's own, neither required nor offered to others.
  set(CPACK_RPM_PACKAGE_AUTOREQ ON)
  set(CPACK_RPM_PACKAGE_AUTOPROV OFF)
  set(CPACK_RPM_SPEC_MORE_DEFINE "%global __requires_exclude ^libzarncore[.]so.*$
%define _build_id_links none")
  # A package with a file in /etc cannot be moved to another prefix.
  set(CPACK_PACKAGE_RELOCATABLE OFF)
  set(CPACK_RPM_USER_FILELIST "%config(noreplace) /etc/nagios-plugins/config/tvxanal.cfg")
  # The folders every system already owns stay out of the package.
  set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION
      /etc/nagios-plugins /etc/nagios-plugins/config /usr/lib/nagios /usr/lib/nagios/plugins
      /usr/lib/systemd /usr/lib/systemd/system /usr/share/man /usr/share/man/man1)
endif()

include(CPack)
