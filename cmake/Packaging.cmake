# What `cmake --install` puts where, and the Debian package CPack builds from
# it (`cpack -G DEB` in the build directory). Only the programs and their
# desktop data are installed: tests, benches, fuzz targets, developer tools
# and the static libraries stay in the build tree.

set(VANTREL_PACKAGE_MAINTAINER "The Vantrel developers <vantrel@example.org>"
    CACHE STRING "Maintainer field of the Debian package: \"Name <address>\"")

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(vantrel_programs vantrel vantrel-dongle vantrel-station)
# The command-line companion may not be part of every tree yet.
if(TARGET vantrel-set)
    list(APPEND vantrel_programs vantrel-set)
endif()
install(TARGETS ${vantrel_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Full RELRO: every symbol bound at start, so the relocations can be made
# read-only before any input is read.
foreach(program IN LISTS vantrel_programs)
    target_link_options(${program} PRIVATE LINKER:-z,relro LINKER:-z,now)
endforeach()
# A stripped install (CPack's) also drops the compiler's version notes, as
# Debian's own packaging does; plain strip keeps them.
install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
        foreach(program ${vantrel_programs})
            execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\"
                COMMAND_ERROR_IS_FATAL ANY)
        endforeach()
    endif()")

set(vantrel_data ${PROJECT_SOURCE_DIR}/data)
install(FILES ${vantrel_data}/${VANTREL_APP_ID}.desktop ${vantrel_data}/${VANTREL_STATION_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${vantrel_data}/${VANTREL_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${vantrel_data}/vantrel.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${VANTREL_APP_ID}.svg)
install(FILES ${vantrel_data}/vantrel-station.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${VANTREL_STATION_ID}.svg)
foreach(size IN LISTS VANTREL_ICON_SIZES)
    set(theme_dir icons/hicolor/${size}x${size}/apps)
    install(FILES ${vantrel_data}/${theme_dir}/${VANTREL_APP_ID}.png
                  ${vantrel_data}/${theme_dir}/${VANTREL_STATION_ID}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/${theme_dir})
endforeach()

# Manual pages and the Debian changelog are installed compressed, as Debian
# wants them; -n keeps names and times out of the archives so that two builds
# give the same bytes.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(vantrel_compressed)
function(vantrel_compress source output)
    add_custom_command(OUTPUT ${output}.gz
                       COMMAND ${GZIP_PROGRAM} -9nkf ${output}
                       DEPENDS ${source} ${output}
                       VERBATIM)
    set(vantrel_compressed ${vantrel_compressed} ${output}.gz PARENT_SCOPE)
endfunction()

set(vantrel_man_dir ${PROJECT_BINARY_DIR}/man)
foreach(program IN LISTS vantrel_programs)
    set(page ${vantrel_data}/man/${program}.1.in)
    if(NOT EXISTS ${page})
        message(WARNING "${program} has no manual page (${page})")
        continue()
    endif()
    configure_file(${page} ${vantrel_man_dir}/${program}.1 @ONLY)
    vantrel_compress(${page} ${vantrel_man_dir}/${program}.1)
    install(FILES ${vantrel_man_dir}/${program}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

# CMAKE_INSTALL_DOCDIR would follow the project's capitalised name; Debian
# looks for the package's own name.
set(vantrel_doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/vantrel)
install(FILES ${vantrel_data}/debian/copyright DESTINATION ${vantrel_doc_dir})

# Files that only mean something inside the Debian package: a plain
# `cmake --install` leaves them out, CPack puts them in.
configure_file(${vantrel_data}/debian/changelog ${PROJECT_BINARY_DIR}/debian/changelog.Debian
               COPYONLY)
vantrel_compress(${vantrel_data}/debian/changelog ${PROJECT_BINARY_DIR}/debian/changelog.Debian)
install(FILES ${PROJECT_BINARY_DIR}/debian/changelog.Debian.gz
        DESTINATION ${vantrel_doc_dir} COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES ${vantrel_data}/debian/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME vantrel
        COMPONENT debian EXCLUDE_FROM_ALL)

add_custom_target(vantrel_compressed_docs ALL DEPENDS ${vantrel_compressed})

# The package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantrel)
set(CPACK_PACKAGE_VENDOR "The Vantrel developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configuration tool for a radio serial adapter")
set(CPACK_PACKAGE_DESCRIPTION
    "Vantrel sets up a radio serial adapter, a small radio module that carries\n"
    "RS-232 or RS-485 data over a radio link, through the serial port it is\n"
    "plugged into: its line settings, radio settings and pairing. Everything\n"
    "the adapter sends back is shown in a log that can be saved to a file.\n"
    "\n"
    "The package also contains vantrel-set, which sends settings from the\n"
    "command line, vantrel-station, the window a production line configures\n"
    "adapters with as they are plugged into its fixture, and vantrel-dongle,\n"
    "which plays the adapter on a pseudo-terminal so that the tool can be\n"
    "tried without the hardware.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_STRIP_FILES ON)
# One package holding both the default install and the Debian-only files.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL Unspecified debian)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VANTREL_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Library dependencies come from dpkg-shlibdeps, never by hand.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window is laid out for Arial (Liberation Sans has its metrics), its
# tooltips are in Traditional Chinese and the station window speaks
# Simplified Chinese too.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation, fonts-wqy-microhei | fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
