# Signing of what the build ships (velmora.exe, velmora-service.exe, velmora-ipsec.exe,
# velmora-msi.dll, velmora-setup.exe with its uninstaller, velmora.msi) when the environment names a
# certificate: Authenticode with SHA-256 through osslsigncode, timestamped when it names a server.
#
# The windows tree reads the environment at each configure and writes the signer, a script that
# signs one file in place; the programs' tree is handed the signer and the PKCS#12 file.

if(VELMORA_PROGRAMS_TOOLCHAIN)
  set(VELMORA_SIGN_PFX "$ENV{VELMORA_SIGN_PFX}")
  set(VELMORA_SIGN_PASSWORD_FILE "$ENV{VELMORA_SIGN_PASSWORD_FILE}")
  set(VELMORA_SIGN_TIMESTAMP_URL "$ENV{VELMORA_SIGN_TIMESTAMP_URL}")
  set(VELMORA_SIGNER "")
  if(NOT VELMORA_SIGN_PFX)
    message(STATUS "Signing: none, as VELMORA_SIGN_PFX is not set; nothing the build makes is signed")
  else()
    foreach(path VELMORA_SIGN_PFX VELMORA_SIGN_PASSWORD_FILE)
      if(${path} AND (NOT IS_ABSOLUTE "${${path}}" OR NOT EXISTS "${${path}}"))
        message(FATAL_ERROR "${path} must name an existing file by its absolute path: ${${path}}")
      endif()
    endforeach()
    if(NOT VELMORA_SIGN_PASSWORD_FILE AND NOT DEFINED ENV{VELMORA_SIGN_PASSWORD})
      message(FATAL_ERROR "VELMORA_SIGN_PFX is set: set VELMORA_SIGN_PASSWORD_FILE, or VELMORA_SIGN_PASSWORD "
                          "(empty for a PKCS#12 file without a password) in the environment of the build")
    endif()
    # The signer holds these between single quotes.
    foreach(value VELMORA_SIGN_PFX VELMORA_SIGN_PASSWORD_FILE VELMORA_SIGN_TIMESTAMP_URL CMAKE_BINARY_DIR)
      if("${${value}}" MATCHES "['\"]")
        message(FATAL_ERROR "${value} may not hold a quote: ${${value}}")
      endif()
    endforeach()
    find_program(OSSLSIGNCODE osslsigncode REQUIRED)
    set(VELMORA_SIGN_DESCRIPTION "Velmora VPN")
    set(VELMORA_SIGNER ${CMAKE_BINARY_DIR}/signing/sign_file.sh)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/sign_file.sh.in ${VELMORA_SIGNER} @ONLY
                   FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                    WORLD_READ WORLD_EXECUTE)
    if(VELMORA_SIGN_TIMESTAMP_URL)
      set(timestamp "timestamped by ${VELMORA_SIGN_TIMESTAMP_URL}")
    else()
      set(timestamp "without a timestamp, as VELMORA_SIGN_TIMESTAMP_URL is not set")
    endif()
    message(STATUS "Signing: with ${VELMORA_SIGN_PFX}, SHA-256, ${timestamp}")
  endif()
  # For the programs' tree: an empty signer turns its signing off when the environment no longer asks.
  set(VELMORA_SIGN_ARGS -DVELMORA_SIGNER=${VELMORA_SIGNER})
  # makensis writes the uninstaller into velmora-setup.exe as it packs: it is signed there, before
  # it is packed, through this command that makensis runs on it.
  set(VELMORA_SIGN_NSIS_OPTIONS)
  if(VELMORA_SIGNER)
    list(APPEND VELMORA_SIGN_ARGS -DVELMORA_SIGN_PFX=${VELMORA_SIGN_PFX})
    set(VELMORA_SIGN_NSIS_OPTIONS "-X!uninstfinalize '\"${VELMORA_SIGNER}\" \"%1\"' = 0")
  endif()
endif()

# Signs a shipped program or DLL as the last step of its link: a file that is not linked anew is
# not signed again, and a change of the certificate or of the signer's settings links it anew.
function(velmora_sign_target target)
  if(VELMORA_SIGNER)
    add_custom_command(TARGET ${target} POST_BUILD COMMAND ${VELMORA_SIGNER} $<TARGET_FILE:${target}> VERBATIM)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${VELMORA_SIGNER} ${VELMORA_SIGN_PFX})
  endif()
endfunction()

# Sets <variable> to the COMMAND that signs <file>, made by the custom target it goes into, or to
# nothing when the build signs nothing.
function(velmora_sign_command variable file)
  set(command)
  if(VELMORA_SIGNER)
    set(command COMMAND ${VELMORA_SIGNER} ${file})
  endif()
  set(${variable} ${command} PARENT_SCOPE)
endfunction()
