# SPDX-License-Identifier: GPL-3.0-or-later
# The browser extension and the native-messaging host's manifests, for every
# user of the machine:
#   Chromium: <datadir>/chromium/extensions/tessel/ (Debian's chromium loads
#     every folder there at start) and <etc>/chromium/native-messaging-hosts/
#   Firefox:  <datadir>/mozilla/extensions/<Firefox's id>/<add-on id>/ and
#     <prefix>/lib/mozilla/native-messaging-hosts/
# <etc> is /etc for the prefix /usr (the package), else <prefix>/etc.  The
# host manifests name the host by its absolute path, so they are written at
# install time for the prefix installed to.
include(GNUInstallDirs)

set(TESSEL_EXTENSION_ID molbfeahooaihilpncfgpmkalanclgke)  # from the manifest's key
set(TESSEL_ADDON_ID browser@tessel.org)
set(TESSEL_HOST_NAME org.tessel.browser_host)
set(TESSEL_FIREFOX_ID "{ec8030f7-c20a-464f-9b0e-13a3a9e97384}")

file(READ ${CMAKE_CURRENT_LIST_DIR}/manifest.json extension_manifest)
string(JSON extension_version GET "${extension_manifest}" version)
string(JSON addon_id GET "${extension_manifest}" browser_specific_settings gecko id)
if(NOT extension_version STREQUAL PROJECT_VERSION OR NOT addon_id STREQUAL TESSEL_ADDON_ID)
  message(FATAL_ERROR "browser/manifest.json: version ${extension_version} and add-on id ${addon_id} "
                      "must be ${PROJECT_VERSION} and ${TESSEL_ADDON_ID}")
endif()

set(extension_files manifest.json links.js content.js background.js)
list(TRANSFORM extension_files PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
foreach(dest ${CMAKE_INSTALL_DATADIR}/chromium/extensions/tessel
             ${CMAKE_INSTALL_DATADIR}/mozilla/extensions/${TESSEL_FIREFOX_ID}/${TESSEL_ADDON_ID})
  install(FILES ${extension_files} DESTINATION ${dest})
  install(DIRECTORY ${CMAKE_CURRENT_LIST_DIR}/icons DESTINATION ${dest})
endforeach()

install(CODE "
  set(TESSEL_HOST_NAME ${TESSEL_HOST_NAME})
  set(TESSEL_EXTENSION_ID ${TESSEL_EXTENSION_ID})
  set(TESSEL_ADDON_ID ${TESSEL_ADDON_ID})
  set(TESSEL_LIBEXECDIR \"${CMAKE_INSTALL_LIBEXECDIR}\")")
install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/host_manifests.cmake)
