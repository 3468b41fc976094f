# Installation as a desktop program (cmake --install), and the Debian package CPack builds from it
# (./run package). Only the program, its menu entry, its icon, its manual page, its Debian
# documents and what its updates need (the installer, its polkit action and the repository's key)
# are installed: the local platform and the tests stay in the build tree.
include(GNUInstallDirs)

set(QUILBA_MAINTAINER "Équipe Quilba <paquets@quilba.fr>" CACHE STRING
    "The Maintainer of the Debian package and of its changelog")

# The changelog and the manual page carry the version and the maintainer; Debian wants both
# compressed with gzip -9n (no name, no time stamp, so the package builds the same every time).
set(quilba_docs ${CMAKE_CURRENT_BINARY_DIR}/debian-docs)
configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/changelog.in ${quilba_docs}/changelog @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/quilba.1 ${quilba_docs}/quilba.1 @ONLY)
find_program(GZIP_EXECUTABLE gzip REQUIRED)
add_custom_command(
    OUTPUT ${quilba_docs}/changelog.gz ${quilba_docs}/quilba.1.gz
    COMMAND ${GZIP_EXECUTABLE} -9nkf ${quilba_docs}/changelog ${quilba_docs}/quilba.1
    DEPENDS ${quilba_docs}/changelog ${quilba_docs}/quilba.1
    COMMENT "Debian changelog and manual page")
add_custom_target(quilba_debian_docs DEPENDS ${quilba_docs}/changelog.gz ${quilba_docs}/quilba.1.gz)
add_dependencies(quilba quilba_debian_docs)

# The public key that signs the update repository, shipped as the keyring apt checks it with. The
# packager names theirs (./run package with QUILBA_ARCHIVE_KEY); without one, a demo key is made
# in the build tree, its private part kept there.
set(QUILBA_ARCHIVE_KEYRING "" CACHE FILEPATH
    "The OpenPGP keyring (public key) that the update repository is signed with")
if(QUILBA_ARCHIVE_KEYRING)
    set(quilba_keyring ${QUILBA_ARCHIVE_KEYRING})
else()
    execute_process(COMMAND sh ${PROJECT_SOURCE_DIR}/packaging/repository/archive-key.sh
        ${CMAKE_BINARY_DIR}/archive-key RESULT_VARIABLE quilba_key_made OUTPUT_QUIET)
    if(NOT quilba_key_made EQUAL 0)
        message(FATAL_ERROR "No demo key for the update repository (gpg): ${quilba_key_made}")
    endif()
    set(quilba_keyring ${CMAKE_BINARY_DIR}/archive-key/quilba-archive-keyring.gpg)
endif()
if(NOT EXISTS ${quilba_keyring})
    message(FATAL_ERROR "QUILBA_ARCHIVE_KEYRING: no such file: ${quilba_keyring}")
endif()
# The installer and the keyring also stand beside the program in the build tree, where the
# program looks for them (../libexec/quilba, ../share/keyrings), so that the demo can update.
configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/quilba-update
    ${CMAKE_BINARY_DIR}/src/libexec/quilba/quilba-update COPYONLY)
configure_file(${quilba_keyring} ${CMAKE_BINARY_DIR}/src/share/keyrings/quilba-archive-keyring.gpg COPYONLY)

install(TARGETS quilba RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(PROGRAMS ${PROJECT_SOURCE_DIR}/packaging/debian/quilba-update
    DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/quilba)
install(FILES ${quilba_keyring} DESTINATION ${CMAKE_INSTALL_DATADIR}/keyrings
    RENAME quilba-archive-keyring.gpg)
# polkit reads its actions from /usr/share/polkit-1/actions only: the package's question in French.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/fr.quilba.mise-a-jour.policy
    DESTINATION ${CMAKE_INSTALL_DATADIR}/polkit-1/actions)
install(FILES ${PROJECT_SOURCE_DIR}/resources/desktop/quilba.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/quilba.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# The program speaks only French: its one manual page is French, in the default place.
install(FILES ${quilba_docs}/quilba.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# A package made by its own maker: the changelog's name for such (native) packages is changelog.gz.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright ${quilba_docs}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quilba)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quilba)
set(CPACK_PACKAGE_VENDOR "Quilba")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${QUILBA_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "loyalty-card counter program for pharmacies")
# Debian shows the text as written: lines are broken here, an empty line parts the two languages.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Quilba is the program at the counter of a pharmacy that runs a loyalty-card"
    "scheme on a remote loyalty platform: it finds the cardholder, shows the points"
    "and open coupons, records the sale, prints coupons and tickets, enrols members"
    "and reads their history."
    ""
    "Quilba est le programme du comptoir d'une pharmacie qui gère une carte de"
    "fidélité sur une plateforme distante : il retrouve l'adhérent, affiche ses"
    "points et ses coupons, enregistre la vente, imprime les coupons et les tickets,"
    "inscrit les membres et montre leur historique.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git" "/build[^/]*/")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries the program links (Qt 6, libcurl, the C++ run-time) come from
# dpkg-shlibdeps; what it loads or reads at run time is named here: the Qt platform plugins and
# the SVG icon engine, Qt's French texts, the fonts the windows and tickets are drawn with (the
# metric twins of Calibri, Arial and Tahoma, and DejaVu for the characters they lack), the
# certificates for the platform's https address, what the maintainer scripts call, and apt, which
# the update installer runs (signed-by: apt 1.1). pkexec lets an update ask for an administrator.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, libqt6svg6, qt6-translations-l10n, fonts-crosextra-carlito, fonts-liberation2, \
fonts-wine, fonts-dejavu-core, ca-certificates, adduser, acl, apt (>= 1.1)")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pkexec")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/debian/postinst
    ${PROJECT_SOURCE_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
