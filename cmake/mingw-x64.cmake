# Windows x86_64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(LOGIN_MINGW_TRIPLE x86_64-w64-mingw32)
# Debian's `wine` starts the 32-bit loader first whenever wine32 is installed, which then hands a
# 64-bit program over to wine64: slow, and very slow when 32-bit programs run emulated. 64-bit
# programs start with the 64-bit loader directly, which also starts their child processes.
if(EXISTS /usr/lib/wine/wine64)
  set(LOGIN_WINE_RUNNER /usr/bin/env WINELOADER=/usr/lib/wine/wine64 /usr/lib/wine/wine64)
else()
  set(LOGIN_WINE_RUNNER wine64)
endif()
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
