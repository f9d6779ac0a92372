# The Windows programs: a version resource and icon for each, the window
# without a console, and the checks that run under Wine (tests/windows).
# scripts/windows/build.sh bundles them with Qt and makes the installer.

set(VANTREL_ICO ${CMAKE_CURRENT_BINARY_DIR}/vantrel.ico)
set(ico_sources)
foreach(size 16 24 32 48 64 128 256)
    list(APPEND ico_sources
         ${PROJECT_SOURCE_DIR}/data/icons/hicolor/${size}x${size}/apps/${VANTREL_APP_ID}.png)
endforeach()
add_custom_command(
    OUTPUT ${VANTREL_ICO}
    COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/windows/make-ico.sh ${VANTREL_ICO} ${ico_sources}
    DEPENDS ${PROJECT_SOURCE_DIR}/scripts/windows/make-ico.sh ${ico_sources}
    COMMENT "Making the Windows icon from the PNGs")
add_custom_target(vantrel_ico DEPENDS ${VANTREL_ICO})

# vantrel_version_resource(target "what it is")
function(vantrel_version_resource target description)
    set(VANTREL_RC_NAME ${target})
    set(VANTREL_RC_DESCRIPTION ${description})
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${VANTREL_ICO})
    add_dependencies(${target} vantrel_ico)
endfunction()

vantrel_version_resource(vantrel "Vantrel: sets up the radio serial dongle")
vantrel_version_resource(vantrel-set "vantrel-set: sets up the radio serial dongle from the command line")
set_target_properties(vantrel PROPERTIES WIN32_EXECUTABLE ON)

if(TARGET Qt6::Test)
    add_subdirectory(tests/windows)
else()
    message(STATUS "Qt Test not found: the checks under Wine are not built")
endif()
