# SPDX-License-Identifier: GPL-3.0-or-later
# One interface target carries the language level, warnings and hardening
# flags; every target of ours links it.
add_library(tessel_common INTERFACE)
target_compile_features(tessel_common INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)
target_compile_options(tessel_common INTERFACE
  -Wall -Wextra -Wpedantic
  $<$<BOOL:${TESSEL_WERROR}>:-Werror>
  -fstack-protector-strong
  $<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>
  -D_GLIBCXX_ASSERTIONS)
target_link_options(tessel_common INTERFACE -Wl,-z,relro -Wl,-z,now)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

if(TESSEL_SANITIZE)
  target_compile_options(tessel_common INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(tessel_common INTERFACE -fsanitize=address,undefined)
endif()

# A library opened on first use (src/text/late_library.h): `target` gets the
# name to open it by, the SONAME of `library` (an imported target or a file),
# as the compile definition `define`.  Its headers come with it.
function(tessel_late_soname target define library)
  if(TARGET ${library})
    get_target_property(file ${library} LOCATION)
    # Read now: an imported target is seen only in the folder that found it.
    get_target_property(headers ${library} INTERFACE_INCLUDE_DIRECTORIES)
    if(headers)
      target_include_directories(${target} SYSTEM PUBLIC ${headers})
    endif()
  else()
    set(file ${library})
  endif()
  execute_process(COMMAND ${CMAKE_OBJDUMP} -p ${file} OUTPUT_VARIABLE dynamic RESULT_VARIABLE failed)
  string(REGEX MATCH "SONAME +([^\n ]+)" found "${dynamic}")
  if(failed OR NOT found)
    message(FATAL_ERROR "no SONAME in ${file}")
  endif()
  target_compile_definitions(${target} PRIVATE ${define}="${CMAKE_MATCH_1}")
  target_link_libraries(${target} PRIVATE ${CMAKE_DL_LIBS})
endfunction()
