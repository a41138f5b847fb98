# Cross-builds the Windows client (Larkwire.exe) on Debian with MinGW-w64, the
# g++-mingw-w64-x86-64-posix compilers:
#   cmake -S . -B build-windows --toolchain cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# Headers, libraries and packages come from the MinGW tree only; tools from the host.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The compiler's own runtime (libstdc++, libgcc, winpthread) is linked in, so
# the executable needs no DLL beyond those Windows ships.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# The one exception to the MinGW tree: the header-only JSON library, whose
# host headers alone are handed to the cross build.
set(nlohmann_json_DIR "${CMAKE_CURRENT_LIST_DIR}/cross-json" CACHE PATH
    "The JSON library's package for the cross build")

# There is no Windows build of GoogleTest here; the Windows client is tested
# from the host, under Wine.
set(BUILD_TESTING OFF CACHE BOOL "Build the testing tree.")
