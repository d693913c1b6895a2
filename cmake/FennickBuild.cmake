# Common compile settings for the project's own targets.
set(FENNICK_WIN32_DEFINES UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)

# fennick_target_defaults(<target>): warnings as errors, Unicode Win32 defines.
function(fennick_target_defaults target)
  target_compile_definitions(${target} PRIVATE ${FENNICK_WIN32_DEFINES})
  target_compile_options(${target} PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:-Wall -Wextra -Werror -Wno-cast-function-type>
    $<$<COMPILE_LANGUAGE:C>:-Wall -Wextra -Werror>)
  target_compile_features(${target} PRIVATE cxx_std_17)
  fennick_harden(${target})
endfunction()

# Our canary and check failure (src/runtime/StackGuard.c): linked before libssp, so that
# libssp's own, which loads DLLs by name before the program starts, is never pulled in.
add_library(fennick_stack_guard OBJECT ${PROJECT_SOURCE_DIR}/src/runtime/StackGuard.c)
target_compile_definitions(fennick_stack_guard PRIVATE ${FENNICK_WIN32_DEFINES})
target_compile_options(fennick_stack_guard PRIVATE -Wall -Wextra -Werror -fno-stack-protector)

# Our reporting of fatal C++ runtime errors, in place of the runtime's (src/runtime/LeanRuntime.cpp):
# linked into the shipped programs only, since GoogleTest uses more of the runtime's.
add_library(fennick_lean_runtime OBJECT ${PROJECT_SOURCE_DIR}/src/runtime/LeanRuntime.cpp)
target_compile_options(fennick_lean_runtime PRIVATE -Wall -Wextra -Werror)

# fennick_harden(<target>): stack canaries and checked string/memory calls (the rest of GCC's
# libssp is linked statically because the link also sees -fstack-protector-strong), and an
# image that Windows maps at a random address with no executable data. The build check
# (cmake/CheckModules.cmake) reads the result back from the kit.
function(fennick_harden target)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE" OR type STREQUAL "SHARED_LIBRARY")
    target_sources(${target} PRIVATE $<TARGET_OBJECTS:fennick_stack_guard>)
  endif()
  target_compile_options(${target} PRIVATE
    $<$<COMPILE_LANGUAGE:C,CXX>:-fstack-protector-strong>)
  # Fortified calls need optimisation, which every configuration but Debug has.
  target_compile_definitions(${target} PRIVATE $<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
  target_link_options(${target} PRIVATE -fstack-protector-strong -Wl,--dynamicbase -Wl,--nxcompat)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    target_link_options(${target} PRIVATE -Wl,--high-entropy-va)
  endif()
endfunction()

# fennick_export_entries(<target> <def>): the DLL exports exactly the entries of <def>, under
# their plain names on both architectures. The .def spells each as i686 decorates a __stdcall
# symbol (Name@bytes), so that on i686 an entry without WINAPI, or with other arguments, fails
# the link instead of being fixed up silently; x86_64 has no decoration and links a copy without
# it. After every link the export table is read back (cmake/CheckExports.cmake).
function(fennick_export_entries target def)
  get_filename_component(def ${def} ABSOLUTE)
  # A .def without entries would otherwise leave every global symbol exported.
  target_link_options(${target} PRIVATE -Wl,--exclude-all-symbols)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_sources(${target} PRIVATE ${def})
    target_link_options(${target} PRIVATE -Wl,--kill-at -Wl,--disable-stdcall-fixup)
  else()
    file(READ ${def} text)
    string(REGEX REPLACE "@[0-9]+" "" text "${text}")
    get_filename_component(name ${def} NAME)
    file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/plain-${name} CONTENT "${text}")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${def})
    target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/plain-${name})
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DLIBRARY=$<TARGET_FILE:${target}> -DDEF=${def}
            -P ${PROJECT_SOURCE_DIR}/cmake/CheckExports.cmake
    VERBATIM)
endfunction()

# fennick_add_unit_test(<name> SOURCES ... LIBS ...): a GoogleTest program run under Wine by ctest.
function(fennick_add_unit_test name)
  if(NOT FENNICK_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  fennick_target_defaults(${name})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests-bin)
  target_link_libraries(${name} PRIVATE ${T_LIBS} gtest gtest_main)
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  # A program that crashes can end with exit code 0 under Wine: only GoogleTest's own verdict
  # that every test passed counts.
  set_tests_properties(${name} PROPERTIES TIMEOUT 300 LABELS unit
    PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] [0-9]+ tests?\\."
    FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]|Unhandled exception")
endfunction()
