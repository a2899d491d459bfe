# Shared by both MinGW-w64 toolchain files; VRP_MINGW_PREFIX names the target.
# The posix thread model: GoogleTest needs std::mutex, which the win32 model
# lacks. The programs use no threads, but the exception unwinder guards its
# tables with the model's mutexes, so the exes carry winpthread's (about
# 40 KiB): the price of one toolchain for the product and its tests.
set(CMAKE_C_COMPILER ${VRP_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VRP_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VRP_MINGW_PREFIX}-windres)
set(CMAKE_OBJDUMP ${VRP_MINGW_PREFIX}-objdump)
set(CMAKE_FIND_ROOT_PATH /usr/${VRP_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
