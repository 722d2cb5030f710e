# Toolchain for Windows programs built on Linux with mingw-w64 (Debian: g++-mingw-w64-x86-64).
# The programs are linked statically, so they need no MinGW DLLs, and they run under wine:
# headless, quiet, with a wine prefix of the build tree's own, and with address space
# randomisation off (setarch -R), which avoids a rare failure of wine at start-up.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CONSOLE_EXERCISES_WINE_ENV -u DISPLAY WINEDEBUG=-all WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix)
set(CMAKE_CROSSCOMPILING_EMULATOR env ${CONSOLE_EXERCISES_WINE_ENV} setarch -R wine)
