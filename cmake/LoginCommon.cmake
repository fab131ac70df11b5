# Settings and helpers shared by every component.

add_library(login_options INTERFACE)

# login_layer_includes(TARGET PATH): TARGET, the library of folder PATH, publishes that folder
# spelled from the root ("platform/https.h") and nothing else. Its include directory is a folder of
# the build tree holding one symbolic link named after PATH (layers/platform/platform -> <source>/
# platform), so a target sees exactly the folders of what it links: an include of a layer above
# it, or of one it does not link, finds no file and fails to compile.
function(login_layer_includes target path)
  set(_dir ${CMAKE_BINARY_DIR}/layers/${target})
  get_filename_component(_parent ${_dir}/${path} DIRECTORY)
  file(MAKE_DIRECTORY ${_parent})
  file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${path} ${_dir}/${path} SYMBOLIC)
  target_include_directories(${target} PUBLIC ${_dir})
endfunction()

if(WIN32)
  target_compile_definitions(login_options INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  # Only system DLLs may be imported: the runtimes are linked in.
  target_link_options(login_options INTERFACE -static-libgcc -static-libstdc++
                      -Wl,-Bstatic,--whole-archive -lwinpthread -Wl,--no-whole-archive,-Bdynamic)
else()
  # Symbols stay inside the image that holds them unless marked (the plug-in exports one).
  set(CMAKE_CXX_VISIBILITY_PRESET hidden)
  set(CMAKE_C_VISIBILITY_PRESET hidden)
  set(CMAKE_VISIBILITY_INLINES_HIDDEN ON)
  find_package(Threads REQUIRED)
  target_link_libraries(login_options INTERFACE Threads::Threads ${CMAKE_DL_LIBS})
endif()

# Warnings on every platform; errors where a preset asks (those ./run test builds). Sources of
# others built here (GoogleTest for MinGW) are marked LOGIN_THIRD_PARTY and keep their own flags.
option(LOGIN_WERROR "Treat warnings in our code as errors" OFF)
# (C and C++ only: resource scripts go through windres, which takes no such flags.)
set(_ours "$<AND:$<COMPILE_LANGUAGE:C,CXX>,$<NOT:$<BOOL:$<TARGET_PROPERTY:LOGIN_THIRD_PARTY>>>>")
target_compile_options(login_options INTERFACE "$<${_ours}:-Wall;-Wextra>")
if(LOGIN_WERROR)
  target_compile_options(login_options INTERFACE "$<${_ours}:-Werror>")
endif()

if(LOGIN_SANITIZE AND NOT WIN32)
  list(JOIN LOGIN_SANITIZE "," _san)
  target_compile_options(login_options INTERFACE -fsanitize=${_san} -fno-omit-frame-pointer
                         -fno-sanitize-recover=all)
  target_link_options(login_options INTERFACE -fsanitize=${_san})
endif()

if(LOGIN_FUZZ)
  set(LOGIN_BENCH OFF)
  # ./run builds only the fuzzers in the fuzz preset.
  add_custom_target(fuzzers)
  target_compile_options(login_options INTERFACE -fsanitize=fuzzer-no-link)
endif()

# GoogleTest: the distribution's build natively; built from the distribution's sources for MinGW.
if(CMAKE_CROSSCOMPILING)
  if(EXISTS /usr/src/googletest/CMakeLists.txt)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    foreach(t gtest gtest_main gmock gmock_main)
      target_link_libraries(${t} PUBLIC login_options)
      set_target_properties(${t} PROPERTIES LOGIN_THIRD_PARTY ON)
      if(NOT TARGET GTest::${t})
        add_library(GTest::${t} ALIAS ${t})
      endif()
    endforeach()
    set(LOGIN_HAVE_GTEST ON)
  endif()
else()
  find_package(GTest)
  if(GTest_FOUND)
    set(LOGIN_HAVE_GTEST ON)
  endif()
endif()

include(GoogleTest)

# Under Wine every program start costs time (about 50 s when 32-bit programs are emulated), so the
# cross builds gather the programs of these labels into one, windows_gathered_test (see
# login_add_gathered_tests); the others, which need servers, a display or a locale, stay apart.
set(LOGIN_GATHERED_LABELS unit registry)

# The environment of a test under Wine: Wine quiet, and the native programs it needs (cache
# paths named like the variables, e.g. LOGIN_ACCOUNT_SERVER; an empty one comes from the
# environment ctest runs in).
function(login_wine_test_env out)
  set(env "WINEDEBUG=-all")
  foreach(variable ${ARGN})
    set(${variable} "" CACHE FILEPATH
        "A native program for the Windows tests (else taken from the environment)")
    if(${variable})
      list(APPEND env "${variable}=${${variable}}")
    endif()
  endforeach()
  set(${out} "${env}" PARENT_SCOPE)
endfunction()

# login_add_served_test(NAME SCRIPT script SOURCES ... [LIBS ...] [ENV var=value ...] [TIMEOUT s])
# A GoogleTest program run as one test inside a script of its folder that starts the native peers
# it needs around it (a program under Wine cannot start native ones). The account server is named
# by LOGIN_ACCOUNT_SERVER; without it the program's cases skip themselves.
function(login_add_served_test name)
  cmake_parse_arguments(A "" "SCRIPT;TIMEOUT" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS} GTest::gmock GTest::gtest_main login_options)
  add_test(NAME ${name}
           COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/${A_SCRIPT} ${CMAKE_CROSSCOMPILING_EMULATOR}
                   $<TARGET_FILE:${name}>
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  if(WIN32)
    login_wine_test_env(_env LOGIN_ACCOUNT_SERVER)
    set(_labels "windows;integration")
  else()
    set(_env "LOGIN_ACCOUNT_SERVER=$<TARGET_FILE:account-server>")
    set(_labels integration)
    add_dependencies(${name} account-server)
  endif()
  list(APPEND _env ${A_ENV})
  set_tests_properties(${name} PROPERTIES LABELS "${_labels}" ENVIRONMENT "${_env}")
  if(A_TIMEOUT)
    set_tests_properties(${name} PROPERTIES TIMEOUT ${A_TIMEOUT})
  endif()
endfunction()

# login_add_gtest(NAME SOURCES ... [LIBS ...] [LABELS ...] [WORKING_DIRECTORY dir])
# One GoogleTest program; natively each test case is a CTest test, under Wine the program is one.
# A gathered program is an object library of that name, so that callers may still set its
# include directories and definitions.
function(login_add_gtest name)
  cmake_parse_arguments(A "" "WORKING_DIRECTORY" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT A_LABELS)
    set(A_LABELS unit)
  endif()
  if(NOT LOGIN_HAVE_GTEST)
    return()
  endif()
  list(GET A_LABELS 0 _first_label)
  if(CMAKE_CROSSCOMPILING AND NOT A_WORKING_DIRECTORY AND _first_label IN_LIST LOGIN_GATHERED_LABELS)
    # A source that several programs share is compiled once for the gathered one.
    get_property(_taken GLOBAL PROPERTY LOGIN_GATHERED_SOURCES)
    set(_sources)
    foreach(src IN LISTS A_SOURCES)
      get_filename_component(src ${src} ABSOLUTE)
      if(NOT src IN_LIST _taken)
        list(APPEND _sources ${src})
        set_property(GLOBAL APPEND PROPERTY LOGIN_GATHERED_SOURCES ${src})
      endif()
    endforeach()
    add_library(${name} OBJECT ${_sources})
    target_link_libraries(${name} PUBLIC ${A_LIBS} GTest::gmock login_options)
    set_property(GLOBAL APPEND PROPERTY LOGIN_GATHERED_PROGRAMS ${name})
    return()
  endif()
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS} GTest::gmock GTest::gtest_main login_options)
  if(NOT A_WORKING_DIRECTORY)
    set(A_WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  endif()
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${A_WORKING_DIRECTORY})
    # A program that crashes under Wine may still end with status 0: it passes only by saying so.
    set_tests_properties(${name} PROPERTIES LABELS "windows;${A_LABELS}"
                         ENVIRONMENT "WINEDEBUG=-all"
                         PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] [0-9]+ tests?\\."
                         FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]")
  else()
    # Discovered tests take one label: a list would be split into property names.
    list(GET A_LABELS 0 _labels)
    gtest_discover_tests(${name} WORKING_DIRECTORY ${A_WORKING_DIRECTORY}
                         DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                         PROPERTIES LABELS "${_labels}")
  endif()
endfunction()

# The gathered Windows test program: every object library that login_add_gtest made, one Wine
# process. Called once, after every test directory.
function(login_add_gathered_tests)
  get_property(_programs GLOBAL PROPERTY LOGIN_GATHERED_PROGRAMS)
  if(NOT _programs)
    return()
  endif()
  add_executable(windows_gathered_test)
  target_link_libraries(windows_gathered_test PRIVATE ${_programs} GTest::gmock GTest::gtest_main
                        login_options)
  add_test(NAME windows_gathered_test COMMAND windows_gathered_test
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  # Some of its tests write beside the programs (the brand table, the plug-in list).
  set_tests_properties(windows_gathered_test PROPERTIES LABELS "windows;unit"
                       ENVIRONMENT "WINEDEBUG=-all" RESOURCE_LOCK host_dir TIMEOUT 600
                       PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] [0-9]+ tests?\\."
                       FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]")
endfunction()

# login_add_fuzzer(NAME SOURCES ... [LIBS ...] CORPUS dir): a libFuzzer target, and a 30-second run.
function(login_add_fuzzer name)
  cmake_parse_arguments(A "" "CORPUS;SECONDS" "SOURCES;LIBS" ${ARGN})
  if(NOT LOGIN_FUZZ)
    return()
  endif()
  if(NOT A_SECONDS)
    set(A_SECONDS 30)
  endif()
  add_executable(${name} ${A_SOURCES})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${A_LIBS} login_options)
  add_dependencies(fuzzers ${name})
  # Runs on a copy of the corpus so that CI never rewrites the tree.
  set(work ${CMAKE_BINARY_DIR}/fuzz-corpus/${name})
  add_test(NAME ${name}
           COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=1
                   sh -c "mkdir -p '${work}' && cp -r '${A_CORPUS}'/. '${work}'/ 2>/dev/null; exec \"$0\" -max_total_time=${A_SECONDS} -timeout=10 -rss_limit_mb=2048 '${work}'"
                   $<TARGET_FILE:${name}>)
  set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT 300)
endfunction()
