# What `cmake --install` puts where (GNUInstallDirs): the three programs, the report template
# the programs look for in share/torl7/docs, the desktop entry, the icon, the AppStream
# metainfo, the manual pages and the package's documentation.
include(GNUInstallDirs)

set(TORL7_APP_ID ru.torl7.ServiceTool)
set(packaging ${PROJECT_SOURCE_DIR}/packaging)

foreach(program torl7 torl7-cli torl7-sim)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()

# The programs find the template at <bin>/../share/torl7/docs (src/report/report_template.cpp).
install(FILES ${TORL7_REPORT_TEMPLATE} DESTINATION ${CMAKE_INSTALL_DATADIR}/torl7/docs)

if(TARGET torl7)
    install(FILES ${packaging}/${TORL7_APP_ID}.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${packaging}/${TORL7_APP_ID}.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    install(FILES ${packaging}/${TORL7_APP_ID}.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

# Manual pages and the changelog go in compressed, as Debian's policy asks; man and zless read
# them either way. gzip -n keeps the archive free of time stamps, so builds are reproducible.
find_program(TORL7_GZIP gzip)
function(torl7_install_compressed source destination name)
    if(TORL7_GZIP)
        set(copy ${CMAKE_BINARY_DIR}/packaging/${name})
        add_custom_command(
            OUTPUT ${copy}.gz
            COMMAND ${CMAKE_COMMAND} -E copy ${source} ${copy}
            COMMAND ${TORL7_GZIP} -9nf ${copy}
            DEPENDS ${source}
            VERBATIM)
        add_custom_target(compress_${name} ALL DEPENDS ${copy}.gz)
        install(FILES ${copy}.gz DESTINATION ${destination})
    else()
        install(FILES ${source} DESTINATION ${destination} RENAME ${name})
    endif()
endfunction()

# torl7-cli's list of commands comes from its command table, as its --help does.
if(TARGET torl7-cli)
    set(TORL7_CLI_MANUAL ${CMAKE_BINARY_DIR}/packaging/torl7-cli.1.composed)
    add_custom_command(
        OUTPUT ${TORL7_CLI_MANUAL}
        COMMAND ${CMAKE_COMMAND} -DTEMPLATE=${packaging}/torl7-cli.1.in
                -DPROGRAM=$<TARGET_FILE:torl7-cli> -DOUTPUT=${TORL7_CLI_MANUAL}
                -P ${PROJECT_SOURCE_DIR}/cmake/compose_manual.cmake
        DEPENDS torl7-cli ${packaging}/torl7-cli.1.in ${PROJECT_SOURCE_DIR}/cmake/compose_manual.cmake
        VERBATIM)
    add_custom_target(torl7_cli_manual ALL DEPENDS ${TORL7_CLI_MANUAL})
endif()

foreach(program torl7 torl7-cli torl7-sim)
    if(TARGET ${program})
        set(source ${packaging}/${program}.1)
        if(program STREQUAL "torl7-cli")
            set(source ${TORL7_CLI_MANUAL})
        endif()
        torl7_install_compressed(${source} ${CMAKE_INSTALL_MANDIR}/man1 ${program}.1)
    endif()
endforeach()

install(FILES ${packaging}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
torl7_install_compressed(${packaging}/changelog ${CMAKE_INSTALL_DOCDIR} changelog)

# Everything the install rules take, without the tests and benchmarks: scripts/package builds
# only this and installs with CMAKE_SKIP_INSTALL_ALL_DEPENDENCY.
add_custom_target(installed_parts DEPENDS report_template)
foreach(part torl7 torl7-cli torl7-sim compress_torl7.1 compress_torl7-cli.1
             compress_torl7-sim.1 compress_changelog)
    if(TARGET ${part})
        add_dependencies(installed_parts ${part})
    endif()
endforeach()
