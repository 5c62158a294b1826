# The viewer for Windows (included by windows/CMakeLists.txt): linked fully static on a freeglut
# built from Debian's source package, and the zip for Windows users. The entry-point table and
# the tests are not set up here.
set(MOIRAVEL_FREEGLUT_DIR "${CMAKE_BINARY_DIR}/freeglut-install"
    CACHE PATH "Static freeglut for Windows: include/GL/glut.h and lib/libglut.a")
if(NOT EXISTS "${MOIRAVEL_FREEGLUT_DIR}/lib/libglut.a")
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

# The zip for Windows users: the viewer, the README and how to run it.
find_program(MOIRAVEL_ZIP zip REQUIRED)
set(moiravel_zip ${CMAKE_BINARY_DIR}/moiravel-windows-x86_64.zip)
set(moiravel_zip_dir ${CMAKE_BINARY_DIR}/zip/moiravel-windows-x86_64)
add_custom_command(
  OUTPUT ${moiravel_zip}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${CMAKE_BINARY_DIR}/zip ${moiravel_zip}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${moiravel_zip_dir}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:moiravel-demo> ${moiravel_zip_dir}/
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/README.md ${moiravel_zip_dir}/
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/HOW-TO-RUN.txt ${moiravel_zip_dir}/
  COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_BINARY_DIR}/zip ${MOIRAVEL_ZIP} -q -r -X ${moiravel_zip}
          moiravel-windows-x86_64
  DEPENDS moiravel-demo ${PROJECT_SOURCE_DIR}/README.md ${CMAKE_CURRENT_SOURCE_DIR}/HOW-TO-RUN.txt
  VERBATIM)
add_custom_target(moiravel-windows-zip ALL DEPENDS ${moiravel_zip})
