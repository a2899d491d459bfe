# Shared by both MinGW-w64 toolchain files; VRP_MINGW_PREFIX names the target.
# The posix thread model: GoogleTest needs std::mutex, which the win32 model
# lacks. The program itself uses no threads; its exe is the same either way.
set(CMAKE_C_COMPILER ${VRP_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VRP_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VRP_MINGW_PREFIX}-windres)
set(CMAKE_OBJDUMP ${VRP_MINGW_PREFIX}-objdump)
set(CMAKE_FIND_ROOT_PATH /usr/${VRP_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
