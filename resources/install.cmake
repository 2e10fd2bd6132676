# SPDX-License-Identifier: GPL-3.0-or-later
# What a desktop needs besides the binaries: the desktop entry (the handler of
# the four link schemes), the AppStream description, the icons of every size
# and the manual pages.
include(GNUInstallDirs)

set(TESSEL_APP_ID org.tessel.Tessel)

install(FILES ${CMAKE_CURRENT_LIST_DIR}/${TESSEL_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

configure_file(${CMAKE_CURRENT_LIST_DIR}/${TESSEL_APP_ID}.metainfo.xml.in
               ${PROJECT_BINARY_DIR}/resources/${TESSEL_APP_ID}.metainfo.xml @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/resources/${TESSEL_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

foreach(size 16 32 48 64 128 256)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/tessel-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME tessel.png)
endforeach()
install(FILES ${CMAKE_CURRENT_LIST_DIR}/tessel.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Manual pages go in compressed, as Debian's policy asks; gzip -n keeps the
# archive free of time stamps so the package builds reproducibly.
find_program(TESSEL_GZIP gzip REQUIRED)
foreach(page tessel.1 tessel-cli.1)
  set(src ${CMAKE_CURRENT_LIST_DIR}/man/${page})
  set(out ${PROJECT_BINARY_DIR}/resources/man/${page}.gz)
  add_custom_command(OUTPUT ${out}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/resources/man
                     COMMAND ${TESSEL_GZIP} -9 -n -c ${src} > ${out}
                     DEPENDS ${src}
                     VERBATIM)
  list(APPEND TESSEL_MAN_PAGES ${out})
endforeach()
add_custom_target(tessel_man_pages ALL DEPENDS ${TESSEL_MAN_PAGES})
install(FILES ${TESSEL_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
