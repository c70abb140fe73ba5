# Run by CPack's External generator on the files it staged for the Windows
# packages, the zip's files: packaging/build-msi makes the installer of them.
set(msi ${CPACK_TOPLEVEL_DIRECTORY}/zarn-${CPACK_PACKAGE_VERSION}-x64.msi)
execute_process(COMMAND ${CPACK_ZARN_BUILD_MSI} ${CPACK_TEMPORARY_DIRECTORY} ${CPACK_PACKAGE_VERSION}
                        ${msi} COMMAND_ERROR_IS_FATAL ANY)
set(CPACK_EXTERNAL_BUILT_PACKAGES ${msi})
