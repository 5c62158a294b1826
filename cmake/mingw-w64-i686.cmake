# SPDX-License-Identifier: MIT
# Cross-compiling for 32-bit Windows with Debian's mingw-w64 (g++-mingw-w64-i686), where the
# GL and WGL calls are __stdcall: the compile check of .ci/windows_cross.sh.
set(MOIRAVEL_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
