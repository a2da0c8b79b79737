# What `cmake --install` puts under the prefix.
#
# The folders are fixed (bin, share) rather than taken from GNUInstallDirs: the desktop program
# finds its guide at <its folder>/../share/tavrik/help, so the two must keep this relation
# whatever the caller sets. The guide itself is installed by src/app with the program.
set(TAVRIK_DATADIR share/tavrik)

install(TARGETS tavrik-batch RUNTIME DESTINATION bin)

file(GLOB tavrik_example_files CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/examples/*.tvk
     ${PROJECT_SOURCE_DIR}/examples/*.csv)
install(FILES ${tavrik_example_files} DESTINATION ${TAVRIK_DATADIR}/examples)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
              ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${PROJECT_SOURCE_DIR}/docs/DECISIONS.md
              ${PROJECT_SOURCE_DIR}/docs/USING.md ${PROJECT_SOURCE_DIR}/docs/DEVELOPING.md
              ${PROJECT_SOURCE_DIR}/docs/tavrik-results.schema.json
        DESTINATION share/doc/tavrik)
install(FILES ${PROJECT_SOURCE_DIR}/docs/man/tavrik-batch.1 DESTINATION share/man/man1)

if(NOT TAVRIK_GUI)
    # Without the desktop program the guide still documents the data format and tavrik-batch.
    install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/help/ DESTINATION ${TAVRIK_DATADIR}/help)
    return()
endif()

install(TARGETS tavrik RUNTIME DESTINATION bin)
install(FILES ${PROJECT_SOURCE_DIR}/docs/man/tavrik.1 DESTINATION share/man/man1)
install(FILES ${PROJECT_SOURCE_DIR}/data/tavrik.desktop DESTINATION share/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/tavrik-mime.xml
        DESTINATION share/mime/packages
        RENAME tavrik.xml)
install(FILES ${PROJECT_SOURCE_DIR}/data/icons/tavrik.svg
        DESTINATION share/icons/hicolor/scalable/apps)

# The desktop reads the MIME type, the file association and the icon from caches. Rebuild them
# only for a direct install into a folder the desktop searches (XDG_DATA_DIRS, or XDG_DATA_HOME
# such as ~/.local/share); a staged install (DESTDIR) leaves them to the package's own triggers,
# and any other prefix to whoever adds it to XDG_DATA_DIRS. A tool that is missing or fails
# is reported and does not fail the install.
install(CODE [[
    set(share "${CMAKE_INSTALL_PREFIX}/share")
    cmake_path(NORMAL_PATH share)
    set(searched "$ENV{XDG_DATA_DIRS}")
    if(searched STREQUAL "")
        set(searched "/usr/local/share:/usr/share")
    endif()
    string(REPLACE ":" ";" searched "${searched}")
    if(NOT "$ENV{XDG_DATA_HOME}" STREQUAL "")
        list(APPEND searched "$ENV{XDG_DATA_HOME}")
    elseif(NOT "$ENV{HOME}" STREQUAL "")
        list(APPEND searched "$ENV{HOME}/.local/share")
    endif()
    set(desktopSearches FALSE)
    foreach(dir IN LISTS searched)
        cmake_path(NORMAL_PATH dir)
        string(REGEX REPLACE "/$" "" dir "${dir}")
        if(dir STREQUAL share)
            set(desktopSearches TRUE)
        endif()
    endforeach()
    function(tavrik_update_cache tool)
        find_program(tool_path ${tool} NO_CACHE)
        if(NOT tool_path)
            message(STATUS "Not found: ${tool}; run it later to register TAVRIK's files")
            return()
        endif()
        execute_process(COMMAND ${tool_path} ${ARGN} RESULT_VARIABLE status OUTPUT_QUIET)
        if(status EQUAL 0)
            message(STATUS "Updated with ${tool}: ${ARGN}")
        else()
            message(STATUS "${tool} failed (${status}); run it again to register TAVRIK's files")
        endif()
    endfunction()
    if("$ENV{DESTDIR}" STREQUAL "" AND desktopSearches)
        tavrik_update_cache(update-mime-database "${share}/mime")
        tavrik_update_cache(update-desktop-database "${share}/applications")
        # An icon cache that is not rebuilt would hide the new icon; where none exists the
        # icon folders are read directly.
        if(EXISTS "${share}/icons/hicolor/icon-theme.cache")
            tavrik_update_cache(gtk-update-icon-cache -q -t -f "${share}/icons/hicolor")
        endif()
    endif()
]])
