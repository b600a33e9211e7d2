# The system installation of HMR (`cmake --install`) and its Debian package (`cpack -G DEB`,
# `./run.sh package`): the programs a user runs in bin/, the tracker library in the multiarch
# library folder under hmr/, the Lazarus package sources in share/hmr/lazarus with an include
# naming that library (hmrsetup-lazarus builds the user's IDE from there), the viewer's MIME
# type, desktop entry and icon, manual pages and the Debian documentation. The stand-in IDE,
# its packages and installers and the picture tools are for tests and stay out.
#
# The paths written into files are absolute, so the package installs below the prefix the
# build was configured with: configure with -DCMAKE_INSTALL_PREFIX=/usr for a Debian package.
# cpack installs only, it does not build: build the target hmr_package_contents first.
set(HMR_LIBRARY_DIR ${CMAKE_INSTALL_LIBDIR}/hmr)
set(HMR_SYSTEM_FILES ${CMAKE_BINARY_DIR}/system-files)

# Files that name where things are installed, written by the code the per-user installers
# use (setup/hmr-system-files.cpp).
add_custom_command(
  OUTPUT ${HMR_SYSTEM_FILES}/hmr/lazarus/hmrtrackerlibrary.inc
         ${HMR_SYSTEM_FILES}/mime/packages/hmr.xml
         ${HMR_SYSTEM_FILES}/applications/hmr-viewer.desktop
         ${HMR_SYSTEM_FILES}/icons/hicolor/scalable/apps/hmr-viewer.svg
  COMMAND hmr-system-files ${HMR_SYSTEM_FILES} --viewer hmr-viewer
          --library ${CMAKE_INSTALL_FULL_LIBDIR}/hmr/$<TARGET_FILE_NAME:hmrtracker>
  DEPENDS hmr-system-files
  COMMENT "Writing the files of the system installation")
# Debian wants its changelog compressed at the highest level, without a time stamp.
add_custom_command(
  OUTPUT ${HMR_SYSTEM_FILES}/doc/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${HMR_SYSTEM_FILES}/doc
  COMMAND gzip -9nc ${CMAKE_CURRENT_LIST_DIR}/debian/changelog > ${HMR_SYSTEM_FILES}/doc/changelog.gz
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/debian/changelog)
set(HMR_SYSTEM_FILE_OUTPUTS ${HMR_SYSTEM_FILES}/hmr/lazarus/hmrtrackerlibrary.inc
    ${HMR_SYSTEM_FILES}/doc/changelog.gz)

# Manual pages from each program's --help, where help2man is at hand.
find_program(HMR_HELP2MAN help2man)
set(HMR_MANUAL_PAGES)
if(HMR_HELP2MAN)
  set(summaries
      "hmr=read, report, check and merge HMR data files, and its settings store"
      "hmr-viewer=show the work sessions recorded in HMR data files"
      "hmrsetup-lazarus=install HMR into your own Lazarus IDE, or take it out")
  foreach(entry IN LISTS summaries)
    string(REGEX MATCH "^[^=]+" program "${entry}")
    string(REGEX REPLACE "^[^=]+=" "" summary "${entry}")
    if(NOT TARGET ${program})
      continue()
    endif()
    set(page ${HMR_SYSTEM_FILES}/man/${program}.1)
    add_custom_command(
      OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${HMR_SYSTEM_FILES}/man
      COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
              ${HMR_HELP2MAN} --no-info --section=1 --version-string=${PROJECT_VERSION}
              --name=${summary} --output=${page} $<TARGET_FILE:${program}>
      COMMAND gzip -9nf ${page}
      DEPENDS ${program}
      COMMENT "Writing the manual page of ${program}"
      VERBATIM)
    list(APPEND HMR_SYSTEM_FILE_OUTPUTS ${page}.gz)
    list(APPEND HMR_MANUAL_PAGES ${page}.gz)
  endforeach()
endif()
add_custom_target(hmr_system_files ALL DEPENDS ${HMR_SYSTEM_FILE_OUTPUTS})
# Everything the installation holds, built without the tests and benchmarks.
add_custom_target(hmr_package_contents)
add_dependencies(hmr_package_contents hmr hmrsetup-lazarus hmrtracker hmr_system_files)
if(TARGET hmr-viewer)
  add_dependencies(hmr_package_contents hmr-viewer)
endif()

install(TARGETS hmr hmrsetup-lazarus RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET hmr-viewer)
  install(TARGETS hmr-viewer RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(TARGETS hmrtracker LIBRARY DESTINATION ${HMR_LIBRARY_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/lazarus/package/hmrlazarus.lpk
              ${PROJECT_SOURCE_DIR}/lazarus/package/hmrlazarus.pas
              ${PROJECT_SOURCE_DIR}/lazarus/package/hmrtrackerglue.pas
              ${HMR_SYSTEM_FILES}/hmr/lazarus/hmrtrackerlibrary.inc
        DESTINATION ${CMAKE_INSTALL_DATADIR}/hmr/lazarus)
if(TARGET hmr-viewer)
  foreach(folder applications mime icons)
    install(DIRECTORY ${HMR_SYSTEM_FILES}/${folder} DESTINATION ${CMAKE_INSTALL_DATADIR})
  endforeach()
endif()
install(FILES ${HMR_MANUAL_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
set(HMR_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/hmr)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright ${HMR_SYSTEM_FILES}/doc/changelog.gz
              ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/file-format.md
              ${PROJECT_SOURCE_DIR}/docs/lazarus.md ${PROJECT_SOURCE_DIR}/docs/team.md
        DESTINATION ${HMR_DOC_DIR})

# The Debian package.
set(HMR_PACKAGE_MAINTAINER "HMR developers <hmr-developers@example.org>" CACHE STRING
    "The Maintainer of the Debian package: name <address>")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME hmr)
set(CPACK_PACKAGE_VENDOR CorvaneSW)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${HMR_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "time tracker for developers, in the Lazarus IDE")
# Debian shows the description as it is: lines of at most 80 characters.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "HMR records the time spent on each project in the IDE: a session starts\n"
  "when a project opens, idle time is left out, and each project's history is\n"
  "kept in a data file beside it that a team can share in git.\n"
  "This package holds the command-line tool hmr (reports, checks, merges), the\n"
  "viewer hmr-viewer, and hmrsetup-lazarus with the tracker library and the\n"
  "Lazarus package: it installs HMR into the user's own Lazarus IDE.")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# The tracker's place is the user's Lazarus, which hmrsetup-lazarus rebuilds with the Free
# Pascal sources and make; the command-line tool and the viewer work without it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "lazarus, fpc-source, make")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "git")
include(CPack)
