# login_lock_host_dir(TARGET): the tests of TARGET write files beside the test programs
# (SIMBrandInfo.xml, plugins.xml), so no two of them may run at once. Under Wine the program is
# one test; natively each test case is discovered when ctest starts, so the lock is set by a
# script that ctest runs after the discovery (it sees the TARGET_TESTS list the discovery made).
function(login_lock_host_dir target)
  if(NOT TARGET ${target})
    return()
  endif()
  get_property(_gathered GLOBAL PROPERTY LOGIN_GATHERED_PROGRAMS)
  if(${target} IN_LIST _gathered)
    return()  # the gathered program holds the lock
  elseif(CMAKE_CROSSCOMPILING)
    set_tests_properties(${target} PROPERTIES RESOURCE_LOCK host_dir)
  else()
    set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}_host_dir_lock.cmake)
    file(WRITE ${script}
         "if(${target}_TESTS)\n"
         "  set_tests_properties(\${${target}_TESTS} PROPERTIES RESOURCE_LOCK host_dir)\n"
         "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${script})
  endif()
endfunction()
