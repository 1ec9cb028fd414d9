# Install layout, generated documents and the two Debian packages:
#   statlume-cli  console program, headless server, sensor publisher, starter library (no Qt)
#   statlume      the desktop program and its desktop integration
include(GNUInstallDirs)

set(STATLUME_DIST ${PROJECT_SOURCE_DIR}/dist)
set(STATLUME_STARTER_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/statlume)
set(STATLUME_STARTER_FULL_DIR ${CMAKE_INSTALL_FULL_LIBDIR}/statlume)
set(STATLUME_SYSTEM_UNIT_DIR lib/systemd/system)
set(STATLUME_USER_UNIT_DIR lib/systemd/user)

# The programs find the installed starter library relative to their own folder, and the
# library finds the publisher the same way back, so an installed tree can move as a whole.
file(RELATIVE_PATH STATLUME_STARTER_FROM_BIN ${CMAKE_INSTALL_FULL_BINDIR} ${STATLUME_STARTER_FULL_DIR})
file(RELATIVE_PATH STATLUME_BIN_FROM_STARTER ${STATLUME_STARTER_FULL_DIR} ${CMAKE_INSTALL_FULL_BINDIR})
target_compile_definitions(statlume_platform PRIVATE
    STATLUME_STARTER_FROM_BIN="${STATLUME_STARTER_FROM_BIN}")
target_compile_definitions(MBMStarter PRIVATE
    STATLUME_BIN_FROM_STARTER="${STATLUME_BIN_FROM_STARTER}")
# The template gallery of dist/templates.
set(STATLUME_EXAMPLES default bars graphs compact server-status gpu laptop)

# The window lists the example templates from the data folder beside its own; a build tree
# gets a copy of them in the same place relative to the program.
file(RELATIVE_PATH STATLUME_DATA_FROM_BIN ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DATADIR})
if(TARGET statlume_ui)
    target_compile_definitions(statlume_ui PRIVATE STATLUME_DATA_FROM_BIN="${STATLUME_DATA_FROM_BIN}")
endif()
if(TARGET statlume)
    get_target_property(statlume_bin_dir statlume RUNTIME_OUTPUT_DIRECTORY)
    foreach(example ${STATLUME_EXAMPLES})
        configure_file(${STATLUME_DIST}/templates/${example}.txt
            ${statlume_bin_dir}/${STATLUME_DATA_FROM_BIN}/statlume/templates/${example}.txt COPYONLY)
    endforeach()
endif()
if(TARGET test_sensors)
    target_compile_definitions(test_sensors PRIVATE
        STATLUME_BIN_FROM_STARTER="${STATLUME_BIN_FROM_STARTER}")
endif()

# Man pages (scdoc) and the icon's fixed sizes (rsvg-convert) are built when the tools are
# there; scripts/package asks for them explicitly, so a package never lacks them.
find_program(STATLUME_SCDOC scdoc)
find_program(STATLUME_RSVG rsvg-convert)
find_program(STATLUME_GZIP gzip)
if(STATLUME_SCDOC AND STATLUME_RSVG AND STATLUME_GZIP)
    set(statlume_docs_default ON)
else()
    set(statlume_docs_default OFF)
endif()
option(STATLUME_DOCS "Build the man pages and the icon sizes (scdoc, rsvg-convert)"
    ${statlume_docs_default})
if(STATLUME_DOCS AND NOT (STATLUME_SCDOC AND STATLUME_RSVG AND STATLUME_GZIP))
    message(FATAL_ERROR "STATLUME_DOCS needs scdoc, rsvg-convert and gzip: "
        "scripts/install-deps --package installs them")
endif()

set(STATLUME_GENERATED ${CMAKE_BINARY_DIR}/dist)
# The completion's item names come from the item catalogue, so it never lists an item the
# program lacks.
set(STATLUME_COMPLETION ${STATLUME_GENERATED}/completion/statlume-cli)
add_custom_command(OUTPUT ${STATLUME_COMPLETION}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${STATLUME_GENERATED}/completion
    COMMAND complete_items ${STATLUME_DIST}/completion/statlume-cli.in ${STATLUME_COMPLETION}
    DEPENDS complete_items ${STATLUME_DIST}/completion/statlume-cli.in
    COMMENT "Shell completion of statlume-cli"
    VERBATIM)
add_custom_target(statlume_completion ALL DEPENDS ${STATLUME_COMPLETION})
set(STATLUME_ICON_SIZES 16 22 24 32 48 64 128 256)
set(STATLUME_MAN_PAGES statlume.1 statlume-cli.1 statlume-sensord.8)

if(STATLUME_DOCS)
    set(generated)
    # The template language section is shared by both programs' pages.
    file(READ ${STATLUME_DIST}/man/template.scd STATLUME_MAN_TEMPLATE)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
        ${STATLUME_DIST}/man/template.scd)
    foreach(page ${STATLUME_MAN_PAGES})
        set(source ${STATLUME_GENERATED}/man/${page}.scd)
        set(roff ${STATLUME_GENERATED}/man/${page})
        configure_file(${STATLUME_DIST}/man/${page}.scd ${source} @ONLY)
        # gzip -n keeps names and times out of the archive, so rebuilds are identical.
        add_custom_command(OUTPUT ${roff} ${roff}.gz
            COMMAND ${STATLUME_SCDOC} < ${source} > ${roff}
            COMMAND ${STATLUME_GZIP} -9n < ${roff} > ${roff}.gz
            DEPENDS ${source}
            COMMENT "Man page ${page}"
            VERBATIM)
        list(APPEND generated ${roff} ${roff}.gz)
    endforeach()
    foreach(size ${STATLUME_ICON_SIZES})
        set(png ${STATLUME_GENERATED}/icons/${size}x${size}/statlume.png)
        add_custom_command(OUTPUT ${png}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${STATLUME_GENERATED}/icons/${size}x${size}
            COMMAND ${STATLUME_RSVG} --width ${size} --height ${size} --format png
                --output ${png} ${STATLUME_DIST}/icons/statlume.svg
            DEPENDS ${STATLUME_DIST}/icons/statlume.svg
            COMMENT "Icon ${size}x${size}"
            VERBATIM)
        list(APPEND generated ${png})
    endforeach()
    add_custom_target(statlume_docs ALL DEPENDS ${generated})

    if(STATLUME_BUILD_TESTS)
        list(TRANSFORM STATLUME_MAN_PAGES PREPEND ${STATLUME_GENERATED}/man/ OUTPUT_VARIABLE pages)
        add_test(NAME man_pages
            COMMAND ${PROJECT_SOURCE_DIR}/scripts/check-man
                --cli $<TARGET_FILE:statlume-cli> --sensord $<TARGET_FILE:statlume-sensord>
                ${pages})
        set_tests_properties(man_pages PROPERTIES LABELS unit TIMEOUT 60)
    endif()
endif()

# Units and Debian documents carry the installed paths.
foreach(unit system/statlume-server.service user/statlume-cli-serve.service
        user/statlume-sensord.service)
    configure_file(${STATLUME_DIST}/systemd/${unit}.in ${STATLUME_GENERATED}/systemd/${unit} @ONLY)
endforeach()
string(TIMESTAMP STATLUME_CHANGELOG_DATE "%a, %d %b %Y 00:00:00 +0000" UTC)
foreach(package statlume-cli statlume)
    set(STATLUME_PACKAGE ${package})
    configure_file(${STATLUME_DIST}/debian/changelog.in
        ${STATLUME_GENERATED}/debian/${package}/changelog @ONLY)
    add_custom_command(OUTPUT ${STATLUME_GENERATED}/debian/${package}/changelog.gz
        COMMAND ${CMAKE_COMMAND} -E chdir ${STATLUME_GENERATED}/debian/${package}
            gzip -9nf -k changelog
        DEPENDS ${STATLUME_GENERATED}/debian/${package}/changelog
        VERBATIM)
    list(APPEND statlume_changelogs ${STATLUME_GENERATED}/debian/${package}/changelog.gz)
endforeach()
add_custom_target(statlume_changelogs ALL DEPENDS ${statlume_changelogs})

# statlume-cli
install(TARGETS statlume-cli statlume-sensord RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    COMPONENT cli)
install(TARGETS MBMStarter LIBRARY DESTINATION ${STATLUME_STARTER_INSTALL_DIR} COMPONENT cli)
install(FILES ${STATLUME_COMPLETION}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions COMPONENT cli)
install(FILES ${STATLUME_GENERATED}/systemd/system/statlume-server.service
    DESTINATION ${STATLUME_SYSTEM_UNIT_DIR} COMPONENT cli)
install(FILES ${STATLUME_GENERATED}/systemd/user/statlume-cli-serve.service
    ${STATLUME_GENERATED}/systemd/user/statlume-sensord.service
    DESTINATION ${STATLUME_USER_UNIT_DIR} COMPONENT cli)
# The template gallery; the window (which depends on this package) lists it as Examples.
list(TRANSFORM STATLUME_EXAMPLES PREPEND ${STATLUME_DIST}/templates/ OUTPUT_VARIABLE example_files)
list(TRANSFORM example_files APPEND .txt)
install(FILES ${example_files}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/statlume/templates COMPONENT cli)
# Fleet files for Prometheus and Grafana, to copy or import from the installed place.
install(FILES ${STATLUME_DIST}/prometheus/alerts.yml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/statlume/prometheus COMPONENT cli)
install(FILES ${STATLUME_DIST}/grafana/statlume.json
    DESTINATION ${CMAKE_INSTALL_DATADIR}/statlume/grafana COMPONENT cli)
install(FILES ${STATLUME_DIST}/debian/copyright
    ${STATLUME_GENERATED}/debian/statlume-cli/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/statlume-cli COMPONENT cli)
if(STATLUME_DOCS)
    install(FILES ${STATLUME_GENERATED}/man/statlume-cli.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT cli)
    install(FILES ${STATLUME_GENERATED}/man/statlume-sensord.8.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man8 COMPONENT cli)
endif()

# statlume, only where the desktop program is part of the build.
if(TARGET statlume)
    install(TARGETS statlume RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT desktop)
    install(FILES ${STATLUME_DIST}/org.statlume.Statlume.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT desktop)
    install(FILES ${STATLUME_DIST}/org.statlume.Statlume.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT desktop)
    install(FILES ${STATLUME_DIST}/icons/statlume.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT desktop)
    install(FILES ${STATLUME_DIST}/debian/copyright
        ${STATLUME_GENERATED}/debian/statlume/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/statlume COMPONENT desktop)
    if(STATLUME_DOCS)
        foreach(size ${STATLUME_ICON_SIZES})
            install(FILES ${STATLUME_GENERATED}/icons/${size}x${size}/statlume.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
                COMPONENT desktop)
        endforeach()
        install(FILES ${STATLUME_GENERATED}/man/statlume.1.gz
            DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT desktop)
    endif()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME statlume)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Statlume")
set(CPACK_PACKAGE_CONTACT "Statlume developers <dev@statlume.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://statlume.org")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

set(CPACK_COMPONENTS_ALL cli)
set(CPACK_DEBIAN_CLI_PACKAGE_NAME statlume-cli)
set(CPACK_DEBIAN_CLI_PACKAGE_SECTION utils)
set(CPACK_COMPONENT_CLI_DESCRIPTION
    "small template-driven system monitor for consoles and servers
Statlume shows live system figures (processor, network, uptime, processes and
threads, memory and swap, disks, date and time, addresses, names, temperatures
and fans) through a text template. statlume-cli prints them on the console or
for a status bar, serves them over TCP to other copies (optionally encrypted)
and shows the figures of a remote server. It needs no graphical toolkit.
.
This package also holds the sensor publisher statlume-sensord and systemd
units for running the server as a user or system service.")
if(TARGET statlume)
    list(APPEND CPACK_COMPONENTS_ALL desktop)
    set(CPACK_DEBIAN_DESKTOP_PACKAGE_NAME statlume)
    set(CPACK_DEBIAN_DESKTOP_PACKAGE_SECTION x11)
    set(CPACK_COMPONENT_DESKTOP_DEPENDS cli)
    # Qt loads its Wayland platform at run time, so no library link names it: where no X
    # display exists, the window, menu and dialogs need it.
    set(CPACK_DEBIAN_DESKTOP_PACKAGE_DEPENDS "qt6-wayland")
    set(CPACK_COMPONENT_DESKTOP_DESCRIPTION
        "small template-driven system monitor for the desktop
Statlume keeps a borderless, optionally transparent window on the desktop with
live system figures written through a text template: processor, network,
uptime, memory and swap, disks, date and time, addresses, temperatures and
fans. A tray icon holds its menu and can show the processor figure. It can
serve its figures to other copies or show a remote server's.")
endif()

include(CPack)
