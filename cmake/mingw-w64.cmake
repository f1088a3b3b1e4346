# Cross-building for 64-bit Windows with Debian's MinGW-w64 (posix threads).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
# A Qt built for MinGW (-DQV_QT_MINGW=DIR, the folder holding lib/cmake/Qt6) and static SQLite and
# libpq for MinGW (-DQV_DB_MINGW=DIR, the folder holding include/ and lib/) are searched like the
# MinGW root itself; try_compile projects get the settings too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QV_QT_MINGW QV_DB_MINGW)
if(QV_QT_MINGW)
  list(APPEND CMAKE_FIND_ROOT_PATH ${QV_QT_MINGW})
endif()
if(QV_DB_MINGW)
  list(APPEND CMAKE_FIND_ROOT_PATH ${QV_DB_MINGW})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# One self-contained executable each: no MinGW runtime DLLs to ship beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
find_program(WINE_PROGRAM wine)
if(WINE_PROGRAM)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_PROGRAM})
endif()
