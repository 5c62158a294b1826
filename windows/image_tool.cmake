# SPDX-License-Identifier: MIT
# The image tool for Windows (included by windows/CMakeLists.txt): linked fully static on a zlib
# and a libpng built from Debian's source packages (tools/windows/build_png.sh). The zip is set
# up in windows/viewer.cmake; the tests are not set up here.
set(MOIRAVEL_PNG_DIR "${CMAKE_BINARY_DIR}/png-install"
    CACHE PATH "Static zlib and libpng for Windows: include/, lib/libz.a, lib/libpng.a and their licences in share/doc/")
set(moiravel_zlib_licence ${MOIRAVEL_PNG_DIR}/share/doc/zlib/LICENSE)
set(moiravel_libpng_licence ${MOIRAVEL_PNG_DIR}/share/doc/libpng/LICENSE)
if(NOT EXISTS "${MOIRAVEL_PNG_DIR}/lib/libpng.a" OR NOT EXISTS ${moiravel_zlib_licence}
   OR NOT EXISTS ${moiravel_libpng_licence})
  execute_process(
    COMMAND bash ${PROJECT_SOURCE_DIR}/tools/windows/build_png.sh ${CMAKE_BINARY_DIR}
            ${CMAKE_TOOLCHAIN_FILE}
    RESULT_VARIABLE png_result)
  if(NOT png_result EQUAL 0 OR NOT EXISTS "${MOIRAVEL_PNG_DIR}/lib/libpng.a")
    message(FATAL_ERROR "no static libpng for Windows in ${MOIRAVEL_PNG_DIR}")
  endif()
endif()

# The names the image tool's CMake files use on Linux.
add_library(ZLIB::ZLIB STATIC IMPORTED GLOBAL)
set_target_properties(ZLIB::ZLIB PROPERTIES IMPORTED_LOCATION "${MOIRAVEL_PNG_DIR}/lib/libz.a"
                                            INTERFACE_INCLUDE_DIRECTORIES "${MOIRAVEL_PNG_DIR}/include")
add_library(PNG::PNG STATIC IMPORTED GLOBAL)
set_target_properties(
  PNG::PNG PROPERTIES IMPORTED_LOCATION "${MOIRAVEL_PNG_DIR}/lib/libpng.a"
                      INTERFACE_INCLUDE_DIRECTORIES "${MOIRAVEL_PNG_DIR}/include"
                      INTERFACE_LINK_LIBRARIES ZLIB::ZLIB)

add_subdirectory(${PROJECT_SOURCE_DIR}/make_images ${CMAKE_BINARY_DIR}/make_images)
set_target_properties(moiravel-make-images PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
