# SPDX-License-Identifier: GPL-3.0-or-later
# The desktop entry and the icons of the window program.
include(GNUInstallDirs)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/tessel.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 32 48)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/tessel-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME tessel.png)
endforeach()
