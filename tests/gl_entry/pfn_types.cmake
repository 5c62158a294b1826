# SPDX-License-Identifier: MIT
# moiravel_add_pfn_types(TARGET INCLUDE_DIR): lists the PFN...PROC types of the GL headers in
# INCLUDE_DIR (GL/gl.h, GL/glext.h) at build time, as the C compiler of the build preprocesses
# them, for coverage_test.cpp in TARGET to compare the slot types with at compile time. The
# list depends on the headers of the platform built for, so it is generated, never committed.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

function(moiravel_add_pfn_types target include_dir)
  set(generated ${CMAKE_CURRENT_BINARY_DIR}/generated)
  set(output ${generated}/gl_entry/glext_pfn_types.inc)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${generated}/gl_entry
    COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/tools/gl_entry/generate.py --cc
            ${CMAKE_C_COMPILER} --include ${include_dir} --pfn-types ${output}
    DEPENDS ${PROJECT_SOURCE_DIR}/tools/gl_entry/generate.py
            ${PROJECT_SOURCE_DIR}/gl_entry/names.txt
    COMMENT "Listing the PFN...PROC types of the GL headers in ${include_dir}"
    VERBATIM)
  target_sources(${target} PRIVATE ${output})
  target_include_directories(${target} PRIVATE ${generated})
endfunction()
