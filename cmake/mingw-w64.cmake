# What both Windows toolchain files share: Debian's mingw-w64 cross compilers for the target
# VELLUMOR_MINGW_TRIPLE, which the including file sets.

# The posix thread model, so that std::thread and std::mutex are there for the converter.
set(CMAKE_C_COMPILER ${VELLUMOR_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELLUMOR_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VELLUMOR_MINGW_TRIPLE}-windres)

# Libraries and headers come from the target's tree (and any prefix added to
# CMAKE_FIND_ROOT_PATH), programs from the build machine.
# VELLUMOR_WINDOWS_DEPS names a prefix of libraries cross-built for the target.
set(CMAKE_FIND_ROOT_PATH /usr/${VELLUMOR_MINGW_TRIPLE} ${VELLUMOR_WINDOWS_DEPS})
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VELLUMOR_WINDOWS_DEPS)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C++ and GCC runtimes are linked in, so the programs need only the system's DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")

# GCC 12 warns falsely about std::string assignments at -O2 (GCC bug 105329).
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict")
