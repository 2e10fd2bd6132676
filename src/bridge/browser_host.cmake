# SPDX-License-Identifier: GPL-3.0-or-later
# The browser host's message reader: plain C++, no Qt, so it is tested and
# fuzzed without a display.
if(NOT TARGET tessel_browser_message)
  find_package(nlohmann_json REQUIRED)
  add_library(tessel_browser_message STATIC
    ${CMAKE_CURRENT_LIST_DIR}/host_message.cpp ${CMAKE_CURRENT_LIST_DIR}/host_message.h)
  set_target_properties(tessel_browser_message PROPERTIES AUTOMOC OFF)
  target_include_directories(tessel_browser_message PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(tessel_browser_message
    PUBLIC tessel_common PRIVATE tessel_text nlohmann_json::nlohmann_json)
endif()
