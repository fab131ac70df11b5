# Windows i686.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(LOGIN_MINGW_TRIPLE i686-w64-mingw32)
# The 32-bit loader; in a 64-bit prefix the programs run as under WoW64.
set(LOGIN_WINE_RUNNER wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
