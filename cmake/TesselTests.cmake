# SPDX-License-Identifier: GPL-3.0-or-later
# How tests/ registers its tests with ctest.  Labels: unit (plain code),
# widget (Qt widgets on the offscreen platform), system (the built programs
# on a virtual X display, driven by the Python scripts of tests/system).

find_package(GTest REQUIRED)
find_package(Threads REQUIRED)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)

# A GoogleTest executable.  LOOPBACK: it runs servers of its own on
# 127.0.0.1 (cpp-httplib), which proxies from the environment must not catch.
function(tessel_add_gtest name)
  cmake_parse_arguments(T "LOOPBACK" "" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  if(T_LOOPBACK)
    list(APPEND T_SOURCES ${PROJECT_SOURCE_DIR}/tests/support/loopback_http.h)
    list(APPEND T_LIBS PkgConfig::HTTPLIB Threads::Threads)
    list(APPEND T_ENV "no_proxy=*" "NO_PROXY=*")
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE tessel_common GTest::gtest GTest::gtest_main GTest::gmock ${T_LIBS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  set(props TIMEOUT 300)
  if(T_LABELS)
    list(APPEND props LABELS "${T_LABELS}")
  endif()
  set_tests_properties(${name} PROPERTIES ${props})
  if(T_ENV)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${T_ENV}")
  endif()
endfunction()

# A widget test: GoogleTest inside a QApplication (tests/support/
# qt_test_main.cpp) on the offscreen platform.  WINDOW: it builds the whole
# main window with the fixture and scripted prompts of tests/support.
function(tessel_add_widget_test name)
  cmake_parse_arguments(T "LOOPBACK;WINDOW" "" "SOURCES;LIBS;ENV" ${ARGN})
  set(support ${PROJECT_SOURCE_DIR}/tests/support)
  list(PREPEND T_SOURCES ${support}/qt_test_main.cpp)
  if(T_WINDOW)
    list(APPEND T_SOURCES ${support}/frm_main_fixture.h ${support}/page_fixture.h ${support}/find_child.h
                          ${support}/scripted_prompts.h)
    list(PREPEND T_LIBS tessel_shell)
  endif()
  set(loopback)
  if(T_LOOPBACK)
    set(loopback LOOPBACK)
  endif()
  tessel_add_gtest(${name} ${loopback}
    SOURCES ${T_SOURCES}
    LIBS ${T_LIBS} Qt6::Test
    LABELS widget
    ENV "QT_QPA_PLATFORM=offscreen" ${T_ENV})
endfunction()

# A system test: the script SCRIPT of this folder with the arguments ARGS,
# registered as `name`; with PARTS, once per part as name_PART, the part
# being the script's last argument.  A script exits 77 where the desktop
# lacks what it needs (a window manager, a tray host, a browser).
function(tessel_add_system_test name)
  cmake_parse_arguments(T "" "SCRIPT;TIMEOUT" "ARGS;PARTS;ENV" ${ARGN})
  set(command Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/${T_SCRIPT} ${T_ARGS})
  set(tests)
  if(T_PARTS)
    foreach(part IN LISTS T_PARTS)
      add_test(NAME ${name}_${part} COMMAND ${command} ${part})
      list(APPEND tests ${name}_${part})
    endforeach()
  else()
    add_test(NAME ${name} COMMAND ${command})
    set(tests ${name})
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set_tests_properties(${tests} PROPERTIES LABELS system TIMEOUT ${T_TIMEOUT} SKIP_RETURN_CODE 77)
  if(T_ENV)
    set_tests_properties(${tests} PROPERTIES ENVIRONMENT "${T_ENV}")
  endif()
endfunction()
