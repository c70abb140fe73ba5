# The style and script of zarn report's page go into zarn whole, with the
# SHA-256 hashes by which the page's Content-Security-Policy allows them and
# nothing else. Line breaks and comments are left out: a Windows stdout
# would turn each line feed into two bytes and break the hash.

# The base64 of the bytes that hex spells, as the policy's hashes are written.
function(zarn_base64_of_hex hex out)
  set(alphabet "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/")
  string(LENGTH "${hex}" digits)
  set(text "")
  set(at 0)
  while(at LESS digits)
    # Three bytes make four letters; one or two at the end, two or three and '='.
    string(SUBSTRING "${hex}" ${at} 6 group)
    string(LENGTH "${group}" groupDigits)
    math(EXPR letters "${groupDigits} / 2 + 1")
    while(groupDigits LESS 6)
      string(APPEND group "00")
      math(EXPR groupDigits "${groupDigits} + 2")
    endwhile()
    math(EXPR number "0x${group}")
    set(written 0)
    foreach(shift 18 12 6 0)
      if(written LESS letters)
        math(EXPR index "(${number} >> ${shift}) & 63")
        string(SUBSTRING "${alphabet}" ${index} 1 letter)
        string(APPEND text "${letter}")
      else()
        string(APPEND text "=")
      endif()
      math(EXPR written "${written} + 1")
    endforeach()
    math(EXPR at "${at} + 6")
  endwhile()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The file's text as the page holds it, and its hash as the policy names it.
function(zarn_page_asset file textVar hashVar)
  file(READ "${file}" text)
  string(REGEX REPLACE "/\\*([^*]|\\*+[^*/])*\\*+/" "" text "${text}")
  string(REGEX REPLACE "[\r\n]+[ \t]*" "" text "${text}")
  string(SHA256 hex "${text}")
  zarn_base64_of_hex(${hex} base64)
  set(${textVar} "${text}" PARENT_SCOPE)
  set(${hashVar} "sha256-${base64}" PARENT_SCOPE)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${file}")
endfunction()

# Writes header, which defines kPageStyle, kPageScript and their hashes.
function(zarn_page_assets_header header style script)
  zarn_page_asset(${style} styleText styleHash)
  zarn_page_asset(${script} scriptText scriptHash)
  set(delimiter "zarn-page")
  set(content "// Made by cmake/PageAssets.cmake from ${style} and ${script}.\n#pragma once\n\nnamespace NZARN {\n\n")
  string(APPEND content "inline constexpr char kPageStyle[] = R\"${delimiter}(${styleText})${delimiter}\";\n")
  string(APPEND content "inline constexpr char kPageStyleHash[] = \"${styleHash}\";\n")
  string(APPEND content "inline constexpr char kPageScript[] = R\"${delimiter}(${scriptText})${delimiter}\";\n")
  string(APPEND content "inline constexpr char kPageScriptHash[] = \"${scriptHash}\";\n\n}  // namespace NZARN\n")
  # Written only when it changes, so that a configure run rebuilds nothing.
  file(WRITE "${header}.new" "${content}")
  configure_file("${header}.new" "${header}" COPYONLY)
endfunction()
