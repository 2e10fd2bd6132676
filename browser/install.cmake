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
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/manifest.json)
string(JSON extension_version GET "${extension_manifest}" version)
string(JSON addon_id GET "${extension_manifest}" browser_specific_settings gecko id)
if(NOT extension_version STREQUAL PROJECT_VERSION OR NOT addon_id STREQUAL TESSEL_ADDON_ID)
  message(FATAL_ERROR "browser/manifest.json: version ${extension_version} and add-on id ${addon_id} "
                      "must be ${PROJECT_VERSION} and ${TESSEL_ADDON_ID}")
endif()

# Firefox gives a Manifest V3 add-on its sites only when the user grants them
# at install; one the system installs is never asked, so its content script
# would never run.  The system's copy gets the same add-on under Manifest V2,
# whose sites come with it: the manifest below is made from manifest.json.
set(firefox_manifest "${extension_manifest}")
string(JSON firefox_manifest SET "${firefox_manifest}" manifest_version 2)
string(JSON firefox_manifest REMOVE "${firefox_manifest}" key)
string(JSON firefox_manifest REMOVE "${firefox_manifest}" background service_worker)
string(JSON permissions GET "${extension_manifest}" permissions)
string(JSON matches GET "${extension_manifest}" content_scripts 0 matches)
string(JSON count LENGTH "${matches}")
math(EXPR last "${count} - 1")
foreach(i RANGE ${last})
  string(JSON match GET "${matches}" ${i})
  string(JSON at LENGTH "${permissions}")
  string(JSON permissions SET "${permissions}" ${at} "\"${match}\"")
endforeach()
string(JSON firefox_manifest SET "${firefox_manifest}" permissions "${permissions}")
file(WRITE ${PROJECT_BINARY_DIR}/browser/firefox/manifest.json "${firefox_manifest}\n")

# Chromium's copy leaves out what only Firefox reads, so its extensions page
# shows no warnings.
set(chromium_manifest "${extension_manifest}")
string(JSON chromium_manifest REMOVE "${chromium_manifest}" browser_specific_settings)
string(JSON chromium_manifest REMOVE "${chromium_manifest}" background scripts)
file(WRITE ${PROJECT_BINARY_DIR}/browser/chromium/manifest.json "${chromium_manifest}\n")

set(extension_scripts links.js content.js background.js)
list(TRANSFORM extension_scripts PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
set(chromium_dir ${CMAKE_INSTALL_DATADIR}/chromium/extensions/tessel)
set(firefox_dir ${CMAKE_INSTALL_DATADIR}/mozilla/extensions/${TESSEL_FIREFOX_ID}/${TESSEL_ADDON_ID})
install(FILES ${PROJECT_BINARY_DIR}/browser/chromium/manifest.json DESTINATION ${chromium_dir})
install(FILES ${PROJECT_BINARY_DIR}/browser/firefox/manifest.json DESTINATION ${firefox_dir})
foreach(dest ${chromium_dir} ${firefox_dir})
  install(FILES ${extension_scripts} DESTINATION ${dest})
  install(DIRECTORY ${CMAKE_CURRENT_LIST_DIR}/icons DESTINATION ${dest})
endforeach()

install(CODE "
  set(TESSEL_HOST_NAME ${TESSEL_HOST_NAME})
  set(TESSEL_EXTENSION_ID ${TESSEL_EXTENSION_ID})
  set(TESSEL_ADDON_ID ${TESSEL_ADDON_ID})
  set(TESSEL_LIBEXECDIR \"${CMAKE_INSTALL_LIBEXECDIR}\")")
install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/host_manifests.cmake)
