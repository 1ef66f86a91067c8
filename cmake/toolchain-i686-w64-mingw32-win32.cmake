# The shipped setup.exe: 32-bit Windows with the win32-thread variants of mingw-w64. The posix
# variant links winpthreads, which imports functions that Windows 2000 and XP lack (such as
# GetTickCount64), so the program would not start there. The tests keep the posix variant
# (toolchain-i686-w64-mingw32.cmake): GoogleTest needs std::mutex.
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-i686-w64-mingw32.cmake)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-win32)
