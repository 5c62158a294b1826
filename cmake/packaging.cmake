# SPDX-License-Identifier: MIT
# What `make install` (cmake --install) puts where, and the two Debian packages of it that
# `make package` (cpack -G DEB) makes, one per install component:
#   viewer        -> moiravel: the programs, their manual pages, the README;
#   gl_entry_dev  -> moiravel-gl-entry-dev: the entry-point table's static libraries, headers,
#                    CMake package and pkg-config file.
# Each carries its DEP-5 copyright and a Debian changelog in /usr/share/doc/<package>/. Prefix
# and DESTDIR are CMake's usual ones; the packages install under /usr. The manual pages are
# cmake/manual_pages.cmake's.

set(MOIRAVEL_PACKAGE_MAINTAINER "Moiravel developers <moiravel@example.org>"
    CACHE STRING "Maintainer field of the Debian packages and their changelog")

install(TARGETS moiravel-demo moiravel-make-images RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        COMPONENT viewer)
if(TARGET moiravel-frame-report)
  install(TARGETS moiravel-frame-report RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
          COMPONENT viewer)
endif()
install(FILES README.md docs/make_images_modes.png DESTINATION ${CMAKE_INSTALL_DOCDIR}
        COMPONENT viewer)
find_program(MOIRAVEL_GZIP gzip REQUIRED)
include(${CMAKE_CURRENT_LIST_DIR}/manual_pages.cmake)

# The entry-point table for other programs: a static library with its headers,
# find_package(MoiravelGlEntry) -> moiravel::gl_entry, and moiravel-gl-entry.pc.
set(moiravel_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/MoiravelGlEntry)
install(TARGETS moiravel_gl_entry moiravel_gl_entry_lookup moiravel_gl_entry_with_lookup
        EXPORT MoiravelGlEntryTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT gl_entry_dev)
install(FILES gl_entry/entry_points.h gl_entry/entry_points.inc gl_entry/lookup.h
              gl_entry/wgl_types.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/gl_entry COMPONENT gl_entry_dev)
install(EXPORT MoiravelGlEntryTargets NAMESPACE moiravel:: DESTINATION ${moiravel_cmake_dir}
        COMPONENT gl_entry_dev)

include(CMakePackageConfigHelpers)
file(WRITE ${PROJECT_BINARY_DIR}/MoiravelGlEntryConfig.cmake
     "include(CMakeFindDependencyMacro)\n"
     "find_dependency(OpenGL COMPONENTS OpenGL GLX)\n"
     "include(\${CMAKE_CURRENT_LIST_DIR}/MoiravelGlEntryTargets.cmake)\n")
write_basic_package_version_file(${PROJECT_BINARY_DIR}/MoiravelGlEntryConfigVersion.cmake
                                 COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/MoiravelGlEntryConfig.cmake
              ${PROJECT_BINARY_DIR}/MoiravelGlEntryConfigVersion.cmake
        DESTINATION ${moiravel_cmake_dir} COMPONENT gl_entry_dev)

# The .pc file finds the prefix from its own place, so that it also holds for
# the .deb's /usr and for `cmake --install --prefix`.
file(RELATIVE_PATH moiravel_pc_to_prefix /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
configure_file(cmake/moiravel-gl-entry.pc.in ${PROJECT_BINARY_DIR}/moiravel-gl-entry.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/moiravel-gl-entry.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT gl_entry_dev)

# The copyright (DEP-5, LICENSE's text in its MIT paragraph) and the changelog, the same in
# both packages' doc directories. The changelog's date is SOURCE_DATE_EPOCH's where it is set;
# gzip -9n keeps name and time out of changelog.gz.
set(moiravel_debian_dir ${PROJECT_BINARY_DIR}/debian)
file(STRINGS LICENSE moiravel_licence_lines)
list(SUBLIST moiravel_licence_lines 4 -1 moiravel_licence_lines) # past the title and copyright
set(moiravel_mit_text "")
foreach(line IN LISTS moiravel_licence_lines)
  if(line STREQUAL "")
    set(line ".")
  endif()
  string(APPEND moiravel_mit_text " ${line}\n")
endforeach()
string(STRIP "${moiravel_mit_text}" moiravel_mit_text)
set(moiravel_mit_text " ${moiravel_mit_text}")
configure_file(cmake/debian/copyright.in ${moiravel_debian_dir}/copyright @ONLY)
string(TIMESTAMP moiravel_changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(cmake/debian/changelog.in ${moiravel_debian_dir}/changelog @ONLY)
add_custom_command(OUTPUT ${moiravel_debian_dir}/changelog.gz
                   COMMAND ${MOIRAVEL_GZIP} -9nkf ${moiravel_debian_dir}/changelog
                   DEPENDS ${moiravel_debian_dir}/changelog VERBATIM)
add_custom_target(moiravel-debian-changelog ALL DEPENDS ${moiravel_debian_dir}/changelog.gz)
set(moiravel_components viewer gl_entry_dev)
set(moiravel_packages moiravel moiravel-gl-entry-dev)
foreach(component package IN ZIP_LISTS moiravel_components moiravel_packages)
  install(FILES ${moiravel_debian_dir}/copyright ${moiravel_debian_dir}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
endforeach()

set(CPACK_PACKAGE_NAME moiravel)
set(CPACK_PACKAGE_VENDOR "Moiravel developers")
set(CPACK_PACKAGE_CONTACT "${MOIRAVEL_PACKAGE_MAINTAINER}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${moiravel_components})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_STRIP_FILES ON)
# Files and directories as dpkg wants them whatever the umask of the build.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                                GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Descriptions: the summary line, then the long text (CPack indents it; an empty line
# separates paragraphs).
set(CPACK_DEBIAN_VIEWER_PACKAGE_NAME moiravel)
set(CPACK_DEBIAN_VIEWER_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_VIEWER_DESCRIPTION
    "Full-screen viewer comparing ways of showing images finer than the display
moiravel-demo shows precomputed images texel for display pixel, full screen,
and alternates the two subimages of a method on successive display refreshes,
so that the eye averages them into a picture finer than the display's pixels.
Keys switch between three methods, freeze, step and reset the picture.

moiravel-make-images makes the viewer's images from a picture, and
moiravel-frame-report reads the viewer's frame log back into figures and a
plot of the frames' timing.")

set(CPACK_DEBIAN_GL_ENTRY_DEV_PACKAGE_NAME moiravel-gl-entry-dev)
set(CPACK_DEBIAN_GL_ENTRY_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_GL_ENTRY_DEV_PACKAGE_DEPENDS "libgl-dev, libglx-dev, libopengl-dev")
set(CPACK_DEBIAN_GL_ENTRY_DEV_DESCRIPTION
    "Lazily resolved table of OpenGL and WGL entry points (static library)
A process-global function pointer for each OpenGL entry point the moiravel
viewer calls, each looked up through glXGetProcAddress (or wglGetProcAddress
on Windows) on its first call, with the prototypes generated from the Khronos
registry.

This package holds the static libraries, the headers, a CMake package
(find_package(MoiravelGlEntry)) and a pkg-config file (moiravel-gl-entry).")
include(CPack)
