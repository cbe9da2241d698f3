# The Debian package (cpack -G DEB, run by scripts/package). Its Depends come from the shared
# libraries the installed programs really link (dpkg-shlibdeps), not from a written list.
set(CPACK_PACKAGE_NAME torl7)
set(CPACK_PACKAGE_VENDOR "TORL-7 service tool developers")
set(CPACK_PACKAGE_CONTACT
    "TORL-7 service tool developers <maintainers@users.noreply.c-seed-53151b00.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "service tool of the TORL-7 motor-protection relay")
# Lines of at most 80 columns, as Debian's policy asks of a package description.
set(CPACK_PACKAGE_DESCRIPTION
    "The window (torl7) shows the unit's live measurements and waveforms, reads and
writes its configuration and calibration, reads the event protocol and the
accounting record and saves them as a report document. torl7-cli does the same
operations without a window, for scripts; torl7-sim is a simulated unit on a
pseudo-terminal, for trying the tool without hardware.")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, never linked, so dpkg-shlibdeps cannot see them: the platform plugins
# that open a window (only a Recommends of Qt's GUI library) and Qt's own Russian
# translation, which the tool loads so that standard buttons and dialogs read in Russian; the
# SQL drivers of the archive (SQLite always, PostgreSQL for a team's server).
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, qt6-translations-l10n, libqt6sql6-sqlite, libqt6sql6-psql")
# Directories in the archive belong to root and are 0755 whatever the builder's umask.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

include(CPack)
