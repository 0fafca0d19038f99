# Cross toolchain: 32-bit Windows executables built with MinGW-w64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
# The compilers of the win32 thread model: their C++ library calls Windows
# directly. Those of the posix model link the winpthreads library into every
# program, which imports KERNEL32 functions that Windows before Vista lacks
# (GetTickCount64, AddVectoredExceptionHandler, ...), so the program would
# not even load there. The plain names may point to either model, so only
# the -win32 names are taken.
find_program(CMAKE_C_COMPILER NAMES ${TOOLCHAIN_PREFIX}-gcc-win32)
find_program(CMAKE_CXX_COMPILER NAMES ${TOOLCHAIN_PREFIX}-g++-win32)
find_program(CMAKE_RC_COMPILER NAMES ${TOOLCHAIN_PREFIX}-windres)
if(NOT CMAKE_CXX_COMPILER OR NOT CMAKE_C_COMPILER)
    message(FATAL_ERROR "${TOOLCHAIN_PREFIX}-g++-win32 not found: run scripts/setup-machine.sh")
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
