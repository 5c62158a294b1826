# What `make install` (cmake --install) puts where, and the Debian package of
# it that `make package` (cpack -G DEB) makes. Prefix and DESTDIR are CMake's
# usual ones; the .deb installs under /usr.

install(TARGETS moiravel-demo moiravel-make-images RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET moiravel-frame-report)
  install(TARGETS moiravel-frame-report RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES README.md docs/make_images_modes.png DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The entry-point table for other programs: a static library with its headers,
# find_package(MoiravelGlEntry) -> moiravel::gl_entry, and moiravel-gl-entry.pc.
set(moiravel_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/MoiravelGlEntry)
install(TARGETS moiravel_gl_entry moiravel_gl_entry_lookup moiravel_gl_entry_with_lookup
        EXPORT MoiravelGlEntryTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES gl_entry/entry_points.h gl_entry/entry_points.inc gl_entry/lookup.h
              gl_entry/wgl_types.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/gl_entry)
install(EXPORT MoiravelGlEntryTargets NAMESPACE moiravel:: DESTINATION ${moiravel_cmake_dir})

include(CMakePackageConfigHelpers)
file(WRITE ${PROJECT_BINARY_DIR}/MoiravelGlEntryConfig.cmake
     "include(CMakeFindDependencyMacro)\n"
     "find_dependency(OpenGL COMPONENTS OpenGL GLX)\n"
     "include(\${CMAKE_CURRENT_LIST_DIR}/MoiravelGlEntryTargets.cmake)\n")
write_basic_package_version_file(${PROJECT_BINARY_DIR}/MoiravelGlEntryConfigVersion.cmake
                                 COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/MoiravelGlEntryConfig.cmake
              ${PROJECT_BINARY_DIR}/MoiravelGlEntryConfigVersion.cmake
        DESTINATION ${moiravel_cmake_dir})

# The .pc file finds the prefix from its own place, so that it also holds for
# the .deb's /usr and for `cmake --install --prefix`.
file(RELATIVE_PATH moiravel_pc_to_prefix /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
configure_file(cmake/moiravel-gl-entry.pc.in ${PROJECT_BINARY_DIR}/moiravel-gl-entry.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/moiravel-gl-entry.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

set(CPACK_PACKAGE_NAME moiravel)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Full-screen viewer comparing ways of showing images finer than the display")
set(CPACK_PACKAGE_CONTACT "Moiravel developers <moiravel@localhost>")
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
