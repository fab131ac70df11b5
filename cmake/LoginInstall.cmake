# Installation: the library, the SDK headers with a CMake package and a pkg-config file, loginhost
# and account-server, the docs and the sample host, in the GNUInstallDirs places. The package
# files find everything relative to themselves, so a tree installed with `--prefix` anywhere (or
# copied) works. `cmake --install` installs what is built: build the targets first (CPack builds
# none either; ./run package does it).
if(LOGIN_FUZZ)
  return()
endif()
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
include(CMakePackageConfigHelpers)

set(LOGIN_SDK_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/loginplugin)
set(LOGIN_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/LoginPlugin)
if(WIN32)
  # The DLL goes with the programs, into a folder a host copies whole.
  set(LOGIN_PLUGIN_FILE ${CMAKE_INSTALL_BINDIR}/LoginPlugin.dll)
  set(LOGIN_PLUGIN_IMPLIB ${CMAKE_INSTALL_LIBDIR}/libLoginPlugin.dll.a)
else()
  set(LOGIN_PLUGIN_FILE ${CMAKE_INSTALL_LIBDIR}/libLoginPlugin.so)
  set(LOGIN_PLUGIN_IMPLIB ${LOGIN_PLUGIN_FILE})  # (no import libraries here: not used)
endif()

install(TARGETS LoginPlugin
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
file(GLOB _sdk_headers ${CMAKE_SOURCE_DIR}/host/*.h)
install(FILES ${_sdk_headers} DESTINATION ${LOGIN_SDK_INCLUDEDIR})
install(TARGETS loginhost RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET account-server)
  install(TARGETS account-server RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(WIN32)
  install(FILES ${CMAKE_SOURCE_DIR}/src/LoginPlugin/LoginPlugin.def
          DESTINATION ${CMAKE_INSTALL_LIBDIR})
endif()
# The user unit of `loginhost watch` (Linux desktops): the build tree's unit, which runs a
# hand-copied loginhost, made to run the installed one; its absolute path is known only when
# installing (a .deb installs under /usr).
if(NOT WIN32)
  set(_unit ${CMAKE_SOURCE_DIR}/tools/loginhost/watch/loginhost-watch.service)
  set(_unit_out ${CMAKE_BINARY_DIR}/package/systemd/loginhost-watch.service)
  install(CODE "
    file(READ \"${_unit}\" _text)
    string(REPLACE \"%h/.local/lib/loginplugin/loginhost\"
                   \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/loginhost\" _text \"\${_text}\")
    file(WRITE \"${_unit_out}\" \"\${_text}\")
    file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/lib/systemd/user\" TYPE FILE
         FILES \"${_unit_out}\")")
endif()
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/docs/host-guide.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

# find_package(LoginPlugin): LoginPlugin::sdk (headers) and LoginPlugin::LoginPlugin (the library).
configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/package/LoginPluginConfig.cmake.in
                              ${CMAKE_BINARY_DIR}/package/LoginPluginConfig.cmake
                              INSTALL_DESTINATION ${LOGIN_CMAKEDIR}
                              PATH_VARS LOGIN_SDK_INCLUDEDIR LOGIN_PLUGIN_FILE LOGIN_PLUGIN_IMPLIB)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/package/LoginPluginConfigVersion.cmake
                                 COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_BINARY_DIR}/package/LoginPluginConfig.cmake
              ${CMAKE_BINARY_DIR}/package/LoginPluginConfigVersion.cmake
        DESTINATION ${LOGIN_CMAKEDIR})

# loginplugin.pc, its prefix relative to its own folder.
file(RELATIVE_PATH LOGIN_PC_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" LOGIN_PC_PREFIX "${LOGIN_PC_PREFIX}")
configure_file(${CMAKE_SOURCE_DIR}/cmake/package/loginplugin.pc.in
               ${CMAKE_BINARY_DIR}/package/loginplugin.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/package/loginplugin.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# ./run package: a .deb of the same tree under /usr.
if(NOT WIN32)
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME loginplugin)
  set(CPACK_PACKAGE_VENDOR "LoginPlugin developers")
  set(CPACK_PACKAGE_CONTACT "LoginPlugin developers <loginplugin@localhost>")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
      "Login plug-in for a data card's connection manager, with its SDK, reference host and server")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION libs)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The .so carries no version in its name: its dependants name the package, not the soname.
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
  include(CPack)
endif()
