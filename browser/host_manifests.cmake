# SPDX-License-Identifier: GPL-3.0-or-later
# Run at install time (install(SCRIPT)), when the prefix installed to is
# known: writes the native-messaging host manifests that name the host by
# its absolute path.  TESSEL_HOST_NAME, TESSEL_EXTENSION_ID, TESSEL_ADDON_ID
# and TESSEL_LIBEXECDIR come from browser/install.cmake.
set(prefix "${CMAKE_INSTALL_PREFIX}")
if(IS_ABSOLUTE "${TESSEL_LIBEXECDIR}")
  set(host "${TESSEL_LIBEXECDIR}/tessel/tessel-browser-host")
else()
  set(host "${prefix}/${TESSEL_LIBEXECDIR}/tessel/tessel-browser-host")
endif()
# The system's configuration lies in /etc for programs in /usr.
if(prefix STREQUAL "/usr")
  set(etc /etc)
else()
  set(etc "${prefix}/etc")
endif()

function(tessel_host_manifest dir key allowed)
  set(file "$ENV{DESTDIR}${dir}/${TESSEL_HOST_NAME}.json")
  message(STATUS "Installing: ${file}")
  file(WRITE "${file}" "{
  \"name\": \"${TESSEL_HOST_NAME}\",
  \"description\": \"Tessel: hands links clicked in the browser to the running Tessel\",
  \"path\": \"${host}\",
  \"type\": \"stdio\",
  \"${key}\": [\"${allowed}\"]
}
")
  file(CHMOD "${file}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${file}")
  set(CMAKE_INSTALL_MANIFEST_FILES "${CMAKE_INSTALL_MANIFEST_FILES}" PARENT_SCOPE)
endfunction()

tessel_host_manifest("${etc}/chromium/native-messaging-hosts" allowed_origins
                     "chrome-extension://${TESSEL_EXTENSION_ID}/")
tessel_host_manifest("${prefix}/lib/mozilla/native-messaging-hosts" allowed_extensions "${TESSEL_ADDON_ID}")
