# The Windows programs: a version resource and icon for each, the window
# without a console, and the checks that run under Wine (tests/windows).
# scripts/windows/build.sh bundles them with Qt and makes the installer.

# vantrel_icon(out.ico app-id): the Windows icon from the PNGs of that id.
function(vantrel_icon ico id)
    set(sources)
    foreach(size 16 24 32 48 64 128 256)
        list(APPEND sources ${PROJECT_SOURCE_DIR}/data/icons/hicolor/${size}x${size}/apps/${id}.png)
    endforeach()
    add_custom_command(
        OUTPUT ${ico}
        COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/windows/make-ico.sh ${ico} ${sources}
        DEPENDS ${PROJECT_SOURCE_DIR}/scripts/windows/make-ico.sh ${sources}
        COMMENT "Making the Windows icon ${ico} from the PNGs")
endfunction()

set(VANTREL_ICO ${CMAKE_CURRENT_BINARY_DIR}/vantrel.ico)
set(VANTREL_STATION_ICO ${CMAKE_CURRENT_BINARY_DIR}/vantrel-station.ico)
vantrel_icon(${VANTREL_ICO} ${VANTREL_APP_ID})
vantrel_icon(${VANTREL_STATION_ICO} ${VANTREL_STATION_ID})
add_custom_target(vantrel_ico DEPENDS ${VANTREL_ICO} ${VANTREL_STATION_ICO})

# vantrel_version_resource(target "what it is" [icon.ico])
function(vantrel_version_resource target description)
    set(VANTREL_RC_NAME ${target})
    set(VANTREL_RC_DESCRIPTION ${description})
    if(ARGC GREATER 2)
        set(VANTREL_ICO ${ARGV2})
    endif()
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${VANTREL_ICO})
    add_dependencies(${target} vantrel_ico)
endfunction()

vantrel_version_resource(vantrel "Vantrel: sets up the radio serial dongle")
vantrel_version_resource(vantrel-set "vantrel-set: sets up the radio serial dongle from the command line")
vantrel_version_resource(vantrel-station "Vantrel Station: configures dongles on a production line"
                         ${VANTREL_STATION_ICO})
set_target_properties(vantrel vantrel-station PROPERTIES WIN32_EXECUTABLE ON)

if(TARGET Qt6::Test)
    add_subdirectory(tests/windows)
else()
    message(STATUS "Qt Test not found: the checks under Wine are not built")
endif()
