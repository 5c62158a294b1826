# SPDX-License-Identifier: MIT
# Cross-compiling for Windows with Debian's mingw-w64, for the triplet that the including
# toolchain file sets in MOIRAVEL_MINGW_TRIPLET (mingw-w64-x86_64.cmake, mingw-w64-i686.cmake).
# The posix thread model is used: GoogleTest needs std::mutex, which the win32 model lacks.
set(CMAKE_SYSTEM_NAME Windows)
string(REGEX MATCH "^[^-]+" CMAKE_SYSTEM_PROCESSOR ${MOIRAVEL_MINGW_TRIPLET})

find_program(CMAKE_C_COMPILER NAMES ${MOIRAVEL_MINGW_TRIPLET}-gcc-posix ${MOIRAVEL_MINGW_TRIPLET}-gcc
             REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${MOIRAVEL_MINGW_TRIPLET}-g++-posix
                                      ${MOIRAVEL_MINGW_TRIPLET}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${MOIRAVEL_MINGW_TRIPLET}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${MOIRAVEL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs are linked fully static, so that they run with no DLL beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
