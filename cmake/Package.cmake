# Debian packages, one for each install component: "kalvex" (component desktop: the window
# and what a desktop reads) and "kalvex-sync" (component sync: the terminal tool). The tool
# links no widget library, so a machine without a desktop installs it alone; kalvex depends
# on it at the same version, so installing kalvex brings both programs.
# `cpack` in a build directory writes kalvex_VERSION_ARCH.deb and kalvex-sync_VERSION_ARCH.deb.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kalvex)
set(CPACK_PACKAGE_VENDOR "The Kalvex developers")
set(CPACK_PACKAGE_CONTACT "The Kalvex developers <developers@kalvex.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL https://kalvex.org)
set(CPACK_STRIP_FILES ON)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/CompressManPages.cmake)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL desktop sync)
set(CPACK_COMPONENT_DESKTOP_DEPENDS sync)

set(CPACK_DEBIAN_PACKAGE_VERSION ${KALVEX_PACKAGE_VERSION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries each program links, found by dpkg-shlibdeps, and the sibling package.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

# CPackDeb puts the package summary (by default the project's description) above every
# component's description, so both packages would share one synopsis. Left at CPack's own
# default it is not used, and each description's first line is its package's synopsis.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CMAKE_PROJECT_NAME} built using CMake")

set(CPACK_DEBIAN_DESKTOP_PACKAGE_NAME kalvex)
# The icon theme that the installed icons belong to; xdg-open shows the help page.
set(CPACK_DEBIAN_DESKTOP_PACKAGE_DEPENDS hicolor-icon-theme)
set(CPACK_DEBIAN_DESKTOP_PACKAGE_RECOMMENDS xdg-utils)
set(CPACK_DEBIAN_DESKTOP_DESCRIPTION
    "two-way folder synchronisation (desktop program)
Kalvex keeps pairs of folders in step in both directions. A project is an
ordered list of profiles, each naming two folders; Synchronize All copies what
is new or newer to the other side and deletes what was deleted on the other
side since the previous run. Deleted entries go to the trash.

This package holds the desktop program, which edits projects, runs them and
lists every action as it happens. It depends on kalvex-sync, the same engine
for the terminal.")

set(CPACK_DEBIAN_SYNC_PACKAGE_NAME kalvex-sync)
set(CPACK_DEBIAN_SYNC_DESCRIPTION
    "two-way folder synchronisation (terminal tool)
Kalvex keeps pairs of folders in step in both directions. A project is an
ordered list of profiles, each naming two folders; a run copies what is new or
newer to the other side and deletes what was deleted on the other side since
the previous run. Deleted entries go to the trash.

This package holds kalvex-sync, which runs Kalvex projects from a terminal or a
scheduled job on machines without a display. It needs no desktop libraries.")

include(CPack)
