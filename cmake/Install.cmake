# What `cmake --install` puts where, and the packages CPack makes of it
# (`make package`).
#
# Linux, under the prefix (/usr for the packages):
#   bin/zarn
#   lib/zarn/               the plug-in and the host core library, private
#   lib/nagios/plugins/     check_tvxanal, the monitoring check
#   lib/systemd/system/     zarn-textfile.service and .timer, which run /usr/bin/zarn
#                           (where the packages put it), not enabled
#   share/man/man1/         zarn.1.gz
#   share/doc/zarn/         README, docs, examples, copyright, changelog
#   /etc/nagios-plugins/config/tvxanal.cfg
# Windows: one folder, as zarn.exe finds its plug-in and DLLs beside itself.
set(ZARN_DOC_DIR share/doc/zarn)

if(WIN32)
  install(TARGETS zarn zarncore tvxanal RUNTIME DESTINATION . LIBRARY DESTINATION .)
  install(FILES ${ZARN_RUNTIME_DLLS} DESTINATION .)
  # The toolchain's runtime comes with its debugging symbols (nine tenths of
  # libstdc++-6.dll); a stripped install strips it as it does the programs.
  foreach(runtime_dll ${ZARN_RUNTIME_DLLS})
    get_filename_component(name ${runtime_dll} NAME)
    install(CODE "if(CMAKE_INSTALL_DO_STRIP)
      execute_process(COMMAND \"${CMAKE_STRIP}\" \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${name}\"
                      COMMAND_ERROR_IS_FATAL ANY)
    endif()")
  endforeach()
  install(FILES README.md DESTINATION .)
  install(DIRECTORY docs/ DESTINATION docs)
  install(DIRECTORY examples/ DESTINATION examples)
else()
  # The private libraries are found relative to the program, wherever the
  # prefix is.
  set_target_properties(zarn PROPERTIES INSTALL_RPATH "$ORIGIN/../lib/zarn")
  set_target_properties(zarncore tvxanal PROPERTIES INSTALL_RPATH "$ORIGIN")
  install(TARGETS zarn RUNTIME DESTINATION bin)
  install(TARGETS zarncore tvxanal LIBRARY DESTINATION lib/zarn NAMELINK_SKIP)

  # Manual page and changelog compressed as Debian and RPM want them, the
  # same bytes on every build.
  foreach(page zarn.1 changelog)
    set(source ${PROJECT_SOURCE_DIR}/packaging/${page})
    if(page STREQUAL "zarn.1")
      set(source ${PROJECT_SOURCE_DIR}/docs/zarn.1)
    endif()
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/${page}.gz
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
                       COMMAND gzip -9nc ${source} > ${CMAKE_BINARY_DIR}/packaging/${page}.gz
                       DEPENDS ${source} VERBATIM)
    list(APPEND ZARN_COMPRESSED ${CMAKE_BINARY_DIR}/packaging/${page}.gz)
  endforeach()
  add_custom_target(compressed-pages ALL DEPENDS ${ZARN_COMPRESSED})
  install(FILES ${CMAKE_BINARY_DIR}/packaging/zarn.1.gz DESTINATION share/man/man1)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.gz packaging/copyright
          DESTINATION ${ZARN_DOC_DIR})

  install(PROGRAMS packaging/check_tvxanal DESTINATION lib/nagios/plugins)
  install(FILES packaging/tvxanal.cfg DESTINATION /etc/nagios-plugins/config)
  install(FILES packaging/zarn-textfile.service packaging/zarn-textfile.timer
          DESTINATION lib/systemd/system)
  install(FILES README.md DESTINATION ${ZARN_DOC_DIR})
  install(DIRECTORY docs/ DESTINATION ${ZARN_DOC_DIR}/docs PATTERN zarn.1 EXCLUDE)
  install(DIRECTORY examples/ DESTINATION ${ZARN_DOC_DIR}/examples)
endif()

include(${CMAKE_CURRENT_LIST_DIR}/Package.cmake)
