# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package: make package (cpack -G DEB in the build folder) writes
# tessel_<version>_amd64.deb.  Library dependencies are computed from the
# binaries by dpkg-shlibdeps; what the program needs beyond them is named here.
include(GNUInstallDirs)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tessel developers <tessel-dev@tessel.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "download-link converter and aria2 hand-off with a Chinese interface")
set(CPACK_PACKAGE_DESCRIPTION
    "Tessel converts download links between plain addresses and the private
thunder://, flashget://, qqdl:// and fs2you:// forms, byte for byte in GBK,
and opens such links clicked in any browser.  It watches the clipboard,
resolves online-video pages, percent-encodes addresses, fingerprints files
and hands downloads to aria2.  The interface is Simplified Chinese; the
tessel-cli command does the conversions in a terminal.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# A Chinese face, or the interface is empty boxes; Qt's own texts in Chinese;
# aria2, which the program starts itself to download what it is handed: the
# file on disk is the program's last step.
# libcurl and libcrypto are opened on first use, so dpkg-shlibdeps cannot see them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-microhei | fonts-noto-cjk, qt6-translations-l10n, libcurl4, libssl3, aria2")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "yt-dlp")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)

# What Debian asks of every package: the copyright and a changelog.
set(TESSEL_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/tessel)
find_program(TESSEL_GZIP gzip REQUIRED)
set(changelog ${PROJECT_BINARY_DIR}/resources/changelog.gz)
add_custom_command(OUTPUT ${changelog}
                   COMMAND ${TESSEL_GZIP} -9 -n -c ${PROJECT_SOURCE_DIR}/resources/debian/changelog > ${changelog}
                   DEPENDS ${PROJECT_SOURCE_DIR}/resources/debian/changelog
                   VERBATIM)
add_custom_target(tessel_changelog ALL DEPENDS ${changelog})
install(FILES ${PROJECT_SOURCE_DIR}/resources/debian/copyright ${changelog} DESTINATION ${TESSEL_DOC_DIR})

# The browser host's manifest for Chromium lies in /etc: the administrator's
# to change, so it is a conffile.
if(TARGET tessel-browser-host)
  file(WRITE ${PROJECT_BINARY_DIR}/debian/conffiles "/etc/chromium/native-messaging-hosts/org.tessel.browser_host.json\n")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/debian/conffiles)
endif()

include(CPack)
