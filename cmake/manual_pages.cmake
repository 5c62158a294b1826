# SPDX-License-Identifier: MIT
# The programs' manual pages (included by cmake/packaging.cmake): help2man makes each from the
# program's own --help at build time, gzip -9n packs it, and it installs into share/man/man1
# with the viewer component. Without help2man (group package of tools/packages.txt) they are
# left out, with one message. The pages' date is SOURCE_DATE_EPOCH's where it is set.

# Program and the line of its NAME section.
set(moiravel_manual_pages
    "moiravel-demo=full-screen viewer alternating the subimages of finer-than-display images"
    "moiravel-make-images=make the viewer's images from a picture or a test pattern")
if(TARGET moiravel-frame-report)
  list(APPEND moiravel_manual_pages
       "moiravel-frame-report=figures and a plot of a run from the viewer's frame log")
endif()

find_program(MOIRAVEL_HELP2MAN help2man)
moiravel_check_packages("The manual pages" moiravel_manual_pages_possible package
                        MOIRAVEL_HELP2MAN=help2man)
set(MOIRAVEL_MANUAL_PAGE_DIR ${PROJECT_BINARY_DIR}/man)
if(moiravel_manual_pages_possible)
  set(pages "")
  foreach(entry IN LISTS moiravel_manual_pages)
    string(REGEX MATCH "^[^=]+" program "${entry}")
    string(REGEX REPLACE "^[^=]+=" "" summary "${entry}")
    set(page ${MOIRAVEL_MANUAL_PAGE_DIR}/${program}.1)
    # help2man runs the program through a script of the program's name (cmake/help_for_man.sh.in).
    set(wrapper ${MOIRAVEL_MANUAL_PAGE_DIR}/bin/${program})
    set(binary $<TARGET_FILE:${program}>)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/help_for_man.sh.in ${wrapper}.in @ONLY)
    file(GENERATE OUTPUT ${wrapper} INPUT ${wrapper}.in
         FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                          WORLD_READ WORLD_EXECUTE)
    add_custom_command(
      OUTPUT ${page} ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${MOIRAVEL_MANUAL_PAGE_DIR}
      COMMAND ${MOIRAVEL_HELP2MAN} --no-info --no-discard-stderr
              --version-string=${PROJECT_VERSION} --name=${summary} --section=1
              --output=${page} ${wrapper}
      COMMAND ${MOIRAVEL_GZIP} -9nkf ${page}
      DEPENDS ${program} ${wrapper} VERBATIM)
    list(APPEND pages ${page}.gz)
  endforeach()
  add_custom_target(moiravel-manual-pages ALL DEPENDS ${pages})
  install(FILES ${pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT viewer)
endif()
