# The Windows build: header-only libraries from the build machine, the
# toolchain's runtime beside the programs, and Wine to run the tests.

# Header-only libraries from the build machine's Debian packages, each
# through a folder of its own that holds only the library's header folder, so
# that the rest of /usr/include (the build machine's C library above all)
# stays out of the Windows build.
function(zarn_import_headers target headers)
  get_filename_component(name ${headers} NAME)
  set(root ${CMAKE_BINARY_DIR}/include/${name}-only)
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${headers} ${root}/${name} SYMBOLIC)
  add_library(${target} INTERFACE IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${root})
endfunction()

set(ZARN_BOOST_HEADERS /usr/include/boost CACHE PATH "The boost/ header folder for the Windows build")
file(STRINGS ${ZARN_BOOST_HEADERS}/version.hpp boost_version_line
     REGEX "^#define BOOST_LIB_VERSION ")
if(NOT boost_version_line MATCHES "\"1_81\"")
  message(FATAL_ERROR "The Windows build needs Boost 1.81 headers in ${ZARN_BOOST_HEADERS}")
endif()
zarn_import_headers(Boost::headers ${ZARN_BOOST_HEADERS})

set(ZARN_CLI11_HEADERS /usr/include/CLI CACHE PATH "The CLI/ header folder for the Windows build")
if(NOT EXISTS ${ZARN_CLI11_HEADERS}/CLI.hpp)
  message(FATAL_ERROR "The Windows build needs the CLI11 headers in ${ZARN_CLI11_HEADERS}")
endif()
zarn_import_headers(CLI11::CLI11 ${ZARN_CLI11_HEADERS})

# One copy of the C++ runtime for the host core, the plug-in and the
# programs: a TZARNException thrown in zarncore.dll is caught in the plug-in,
# and the host reaches the plug-in's second interface by dynamic_cast. The
# runtime DLLs ship beside the programs, so nothing needs installing.
foreach(runtime_dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${runtime_dll}
                  OUTPUT_VARIABLE runtime_path OUTPUT_STRIP_TRAILING_WHITESPACE
                  COMMAND_ERROR_IS_FATAL ANY)
  if(NOT IS_ABSOLUTE ${runtime_path} OR NOT EXISTS ${runtime_path})
    message(FATAL_ERROR "The toolchain has no ${runtime_dll}")
  endif()
  file(COPY ${runtime_path} DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
  list(APPEND ZARN_RUNTIME_DLLS ${runtime_path})
endforeach()

# ctest and the test discovery run the programs under Wine, in a prefix of
# this build folder. Wine's first start in a new prefix takes long, so the
# prefix is created once before any test program is run.
set(ZARN_WINE /usr/lib/wine/wine64 CACHE FILEPATH "Wine's loader for 64-bit programs")
set(ZARN_WINESERVER /usr/lib/wine/wineserver64 CACHE FILEPATH "Wine's server for 64-bit programs")
set(ZARN_WINEPREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${CMAKE_BINARY_DIR}/wine-run
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE @ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
add_custom_command(
  OUTPUT ${ZARN_WINEPREFIX}/system.reg
  COMMAND ${CMAKE_BINARY_DIR}/wine-run wineboot --init
  COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${ZARN_WINEPREFIX} ${ZARN_WINESERVER} -w
  COMMENT "Creating the Wine prefix for the tests"
  VERBATIM)
add_custom_target(wine-prefix DEPENDS ${ZARN_WINEPREFIX}/system.reg)

# The path by which a program under Wine reaches a file of the build
# machine: Wine maps the root folder to drive Z:.
function(zarn_program_path out path)
  string(REPLACE "/" "\\" windows_path "Z:${path}")
  set(${out} ${windows_path} PARENT_SCOPE)
endfunction()
