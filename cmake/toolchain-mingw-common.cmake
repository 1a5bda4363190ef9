# Shared part of the MinGW-w64 toolchain files; they set
# CMAKE_SYSTEM_PROCESSOR and ORX_MINGW_TRIPLET, then include this.
set(CMAKE_SYSTEM_NAME Windows)
# The posix-threads variant: its C++ library has std::thread and std::mutex,
# which GoogleTest and the test programs use. Shipped images link their
# runtime statically or not at all, so no threading DLL is needed at run time.
set(CMAKE_C_COMPILER   ${ORX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER  ${ORX_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ORX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
