# Installation and the Debian package.
#
# Components:
#   program  the installation directory: the three programs, the namecodec
#            tool, libnamecodec in lib/idn, the samples, readme.txt and
#            updateinfo.rtf (both scripts/install and the package)
#   userdir  what only a per-user installation has: its temp/ folder and the
#            quorel-profile helper that scripts/install and scripts/uninstall
#            write the profile values with
#   system   what only the package has: /etc/xdg/VANTO/idn.conf, the desktop
#            entry, MIME types and icon under /usr/share, commands in
#            /usr/bin, the copyright and changelog
# scripts/install runs `cmake --install` for program and userdir and puts the
# desktop files in the user's XDG folders itself; scripts/package runs CPack,
# which packs program and system below /opt/quorel.

set(QUOREL_PACKAGE_PREFIX /opt/quorel)
# Installing needs only the installed programs, which the scripts build by
# name; the tests and benchmarks of `all` stay unbuilt.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(QUOREL_INSTALLED_TARGETS Quorel Pellwick Corvale namecodec_cli namecodec quorel-profile quorel_samples
    quorel_package_files CACHE INTERNAL "")

# The programs find libnamecodec beside them wherever the folder is.
set_target_properties(Quorel Pellwick Corvale namecodec_cli PROPERTIES INSTALL_RPATH "$ORIGIN/lib/idn")
install(TARGETS Quorel Pellwick Corvale namecodec_cli RUNTIME DESTINATION . COMPONENT program)
install(TARGETS namecodec LIBRARY DESTINATION lib/idn COMPONENT program NAMELINK_SKIP)
install(FILES
    ${PROJECT_SOURCE_DIR}/resources/samples/named.conf
    ${PROJECT_SOURCE_DIR}/resources/samples/sample-reverse.zone
    ${PROJECT_SOURCE_DIR}/resources/samples/sample.zone
    ${PROJECT_SOURCE_DIR}/resources/samples/vhost.conf
    DESTINATION samples COMPONENT program)
install(FILES
    ${PROJECT_SOURCE_DIR}/resources/install/readme.txt
    ${PROJECT_SOURCE_DIR}/resources/install/updateinfo.rtf
    DESTINATION . COMPONENT program)

install(DIRECTORY DESTINATION temp COMPONENT userdir)
install(TARGETS quorel-profile RUNTIME DESTINATION lib COMPONENT userdir)

# ---- the package's own files ----
set(staged ${CMAKE_BINARY_DIR}/package-files)
file(MAKE_DIRECTORY ${staged})
file(READ ${PROJECT_SOURCE_DIR}/resources/quorel.desktop desktop_entry)
string(REPLACE "Exec=Quorel %f" "TryExec=${QUOREL_PACKAGE_PREFIX}/Quorel\nExec=${QUOREL_PACKAGE_PREFIX}/Quorel %f"
    desktop_entry "${desktop_entry}")
file(WRITE ${staged}/quorel.desktop "${desktop_entry}")
# ProPathName tells the setup finisher where the programs are when no
# per-user installation wrote it into the user's profile.
file(WRITE ${staged}/idn.conf
    "[General]\n"
    "ProPathName=${QUOREL_PACKAGE_PREFIX}\n"
    "SampleZonePath=${QUOREL_PACKAGE_PREFIX}/samples/sample.zone\n"
    "SampleReverseZonePath=${QUOREL_PACKAGE_PREFIX}/samples/sample-reverse.zone\n"
    "SampleNamedconfPath=${QUOREL_PACKAGE_PREFIX}/samples/named.conf\n"
    "SampleVirtualHostConfPath=${QUOREL_PACKAGE_PREFIX}/samples/vhost.conf\n")
file(WRITE ${staged}/copyright
    "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
    "Upstream-Name: quorel\n\n"
    "Files: *\nCopyright: 2026 VANTO\nLicense: proprietary\n"
    " All rights reserved by VANTO.\n\n"
    "Files: usr/share/icons/*\n"
    "Copyright: GNOME Project\nLicense: CC-BY-SA-3.0 or LGPL-3\n"
    " The program icon comes from the Adwaita icon theme (48x48 legacy set).\n"
    " On Debian systems the LGPL-3 is in /usr/share/common-licenses/LGPL-3.\n")
# Debian wants the changelog compressed with no time stamp, so that the
# package is the same from one build to the next.
file(WRITE ${staged}/changelog
    "quorel (${QUOREL_VERSION}) stable; urgency=medium\n\n"
    "  * Installation and Debian package; setup finisher; update notes window.\n\n"
    " -- VANTO <support@quorel.example>  Tue, 08 Dec 2026 00:00:00 +0000\n")
add_custom_command(OUTPUT ${staged}/changelog.gz
    COMMAND gzip -9 -n -c ${staged}/changelog > ${staged}/changelog.gz
    DEPENDS ${staged}/changelog)
foreach(page quorel namecodec)
    add_custom_command(OUTPUT ${staged}/${page}.1.gz
        COMMAND gzip -9 -n -c ${PROJECT_SOURCE_DIR}/resources/man/${page}.1 > ${staged}/${page}.1.gz
        DEPENDS ${PROJECT_SOURCE_DIR}/resources/man/${page}.1)
endforeach()
add_custom_target(quorel_package_files ALL
    DEPENDS ${staged}/changelog.gz ${staged}/quorel.1.gz ${staged}/namecodec.1.gz)
file(CREATE_LINK ${QUOREL_PACKAGE_PREFIX}/Quorel ${staged}/quorel SYMBOLIC)
file(CREATE_LINK ${QUOREL_PACKAGE_PREFIX}/namecodec ${staged}/namecodec SYMBOLIC)

install(FILES ${staged}/idn.conf DESTINATION /etc/xdg/VANTO COMPONENT system)
install(FILES ${staged}/quorel.desktop DESTINATION /usr/share/applications COMPONENT system)
install(FILES ${PROJECT_SOURCE_DIR}/resources/quorel-mime.xml DESTINATION /usr/share/mime/packages
    RENAME quorel.xml COMPONENT system)
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/quorel.png
    DESTINATION /usr/share/icons/hicolor/48x48/apps COMPONENT system)
install(FILES ${staged}/quorel ${staged}/namecodec DESTINATION /usr/bin COMPONENT system)
install(FILES ${staged}/quorel.1.gz ${staged}/namecodec.1.gz DESTINATION /usr/share/man/man1 COMPONENT system)
install(FILES ${staged}/copyright ${staged}/changelog.gz DESTINATION /usr/share/doc/quorel COMPONENT system)
# The package is an add-on installed from outside the Debian archive, which
# is what /opt is for; and the samples are code page 949 on purpose.
file(WRITE ${staged}/lintian-overrides
    "# A third-party add-on package: its programs live in their own folder in /opt.\n"
    "quorel: dir-or-file-in-opt [opt/quorel/*]\n"
    "# The samples show the legacy Korean encoding the program converts from.\n"
    "quorel: national-encoding [opt/quorel/samples/*]\n")
install(FILES ${staged}/lintian-overrides DESTINATION /usr/share/lintian/overrides RENAME quorel COMPONENT system)
file(WRITE ${staged}/conffiles "/etc/xdg/VANTO/idn.conf\n")
# Conversions write their temporary copies to temp/ of the installation; in
# a folder every user shares that is the system's temporary folder, where
# each copy is created exclusively under a fresh name.
file(CREATE_LINK /tmp ${staged}/temp SYMBOLIC)
install(FILES ${staged}/temp DESTINATION ${QUOREL_PACKAGE_PREFIX} COMPONENT system)

# ---- CPack: quorel_<version>_amd64.deb ----
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorel)
set(CPACK_PACKAGE_VERSION ${QUOREL_VERSION})
set(CPACK_PACKAGE_VENDOR VANTO)
set(CPACK_PACKAGING_INSTALL_PREFIX ${QUOREL_PACKAGE_PREFIX})
# One package of the two components (the per-user ones stay out).
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};Quorel;program;/;${CMAKE_BINARY_DIR};Quorel;system;/")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "VANTO <support@quorel.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION editors)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quorel.example/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Korean editor for DNS zone and web-server files with Hangul names")
set(CPACK_PACKAGE_DESCRIPTION
    "Quorel edits zone files, reverse zone files, named.conf and Apache or nginx
virtual-host files whose domain names carry Hangul labels, and converts the
names inside them between code page 949 (EUC-KR) and Punycode. It comes with
the namecodec command-line tool and its library, the Pellwick updater and the
Corvale setup finisher. The user interface is in Korean.")
# Library dependencies are read from the programs; libnamecodec is our own,
# found in the package itself.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin/lib/idn)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-nanum, qt6-translations-l10n, xdg-utils, shared-mime-info")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${staged}/conffiles)
include(AppStream)
include(CPack)
