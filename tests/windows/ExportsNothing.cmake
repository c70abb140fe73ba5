# Fails when the library LIBRARY exports any symbol: the plug-in is reached
# only through the object it registers, never by name.
#   cmake -DOBJDUMP=... -DLIBRARY=... -P ExportsNothing.cmake
execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY} OUTPUT_VARIABLE headers COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n([ \t]+\\[[^\n]*\n)+" exports "${headers}")
if(exports)
  message(FATAL_ERROR "${LIBRARY} exports symbols:\n${exports}")
endif()
message(STATUS "${LIBRARY} exports nothing")
