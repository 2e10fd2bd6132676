# SPDX-License-Identifier: GPL-3.0-or-later
if(TARGET tessel_web)
  tessel_add_fuzzer(web_replies_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/web_replies_fuzz.cpp LIBS tessel_web)
endif()
