# SPDX-License-Identifier: MIT
# The viewer for Windows (included by windows/CMakeLists.txt): linked fully static on a freeglut
# built from Debian's source package, and the zip for Windows users. The entry-point table and
# the tests are not set up here.
set(MOIRAVEL_FREEGLUT_DIR "${CMAKE_BINARY_DIR}/freeglut-install"
    CACHE PATH "Static freeglut for Windows: include/GL/glut.h, lib/libglut.a and its licence in share/doc/freeglut/COPYING")
set(moiravel_freeglut_licence ${MOIRAVEL_FREEGLUT_DIR}/share/doc/freeglut/COPYING)
if(NOT EXISTS "${MOIRAVEL_FREEGLUT_DIR}/lib/libglut.a" OR NOT EXISTS ${moiravel_freeglut_licence})
  execute_process(
    COMMAND bash ${PROJECT_SOURCE_DIR}/tools/windows/build_freeglut.sh ${CMAKE_BINARY_DIR}
            ${CMAKE_TOOLCHAIN_FILE}
    RESULT_VARIABLE freeglut_result)
  if(NOT freeglut_result EQUAL 0 OR NOT EXISTS "${MOIRAVEL_FREEGLUT_DIR}/lib/libglut.a")
    message(FATAL_ERROR "no static freeglut for Windows in ${MOIRAVEL_FREEGLUT_DIR}")
  endif()
endif()

# The name the viewer's CMake files use on Linux, standing for the Windows library.
add_library(GLUT::GLUT STATIC IMPORTED GLOBAL)
set_target_properties(
  GLUT::GLUT
  PROPERTIES IMPORTED_LOCATION "${MOIRAVEL_FREEGLUT_DIR}/lib/libglut.a"
             INTERFACE_INCLUDE_DIRECTORIES "${MOIRAVEL_FREEGLUT_DIR}/include"
             INTERFACE_COMPILE_DEFINITIONS FREEGLUT_STATIC
             INTERFACE_LINK_LIBRARIES "opengl32;gdi32;winmm")

add_subdirectory(${PROJECT_SOURCE_DIR}/demo ${CMAKE_BINARY_DIR}/demo)
set_target_properties(moiravel-demo PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# The zip for Windows users: the viewer, the image tool, the README, how to run them, and in
# LICENSES/ the licences of what the exes hold: ours, freeglut's, zlib's, libpng's and the
# mingw-w64 runtime's (winpthreads and the CRT
# start-up code; libstdc++ and libgcc come under GCC's runtime library exception, which asks
# for no notice).
find_program(MOIRAVEL_ZIP zip REQUIRED)
string(REPLACE "_" "-" moiravel_mingw_arch ${CMAKE_SYSTEM_PROCESSOR})
set(moiravel_mingw_licence /usr/share/doc/mingw-w64-${moiravel_mingw_arch}-dev/copyright)
if(NOT EXISTS ${moiravel_mingw_licence})
  message(FATAL_ERROR "no ${moiravel_mingw_licence} for the zip's LICENSES/")
endif()
set(moiravel_zip ${CMAKE_BINARY_DIR}/moiravel-windows-x86_64.zip)
set(moiravel_zip_dir ${CMAKE_BINARY_DIR}/zip/moiravel-windows-x86_64)
add_custom_command(
  OUTPUT ${moiravel_zip}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${CMAKE_BINARY_DIR}/zip ${moiravel_zip}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${moiravel_zip_dir}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:moiravel-demo> ${moiravel_zip_dir}/
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:moiravel-make-images> ${moiravel_zip_dir}/
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/README.md ${moiravel_zip_dir}/
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/HOW-TO-RUN.txt ${moiravel_zip_dir}/
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/LICENSE
          ${moiravel_zip_dir}/LICENSES/moiravel.txt
  COMMAND ${CMAKE_COMMAND} -E copy ${moiravel_freeglut_licence}
          ${moiravel_zip_dir}/LICENSES/freeglut.txt
  COMMAND ${CMAKE_COMMAND} -E copy ${moiravel_zlib_licence} ${moiravel_zip_dir}/LICENSES/zlib.txt
  COMMAND ${CMAKE_COMMAND} -E copy ${moiravel_libpng_licence}
          ${moiravel_zip_dir}/LICENSES/libpng.txt
  COMMAND ${CMAKE_COMMAND} -E copy ${moiravel_mingw_licence}
          ${moiravel_zip_dir}/LICENSES/mingw-w64-runtime.txt
  COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_BINARY_DIR}/zip ${MOIRAVEL_ZIP} -q -r -X ${moiravel_zip}
          moiravel-windows-x86_64
  DEPENDS moiravel-demo moiravel-make-images ${PROJECT_SOURCE_DIR}/README.md ${CMAKE_CURRENT_SOURCE_DIR}/HOW-TO-RUN.txt
          ${PROJECT_SOURCE_DIR}/LICENSE ${moiravel_freeglut_licence} ${moiravel_zlib_licence}
          ${moiravel_libpng_licence} ${moiravel_mingw_licence}
  VERBATIM)
add_custom_target(moiravel-windows-zip ALL DEPENDS ${moiravel_zip})
