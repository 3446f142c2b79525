# Installed layout and packages.
#
# Linux (`cmake --install`, and `cpack -G DEB`): programs in bin/, the language
# files and fonts in share/taktarium/, a desktop entry, an icon and AppStream
# metadata. Windows (`cpack -G ZIP` / `-G NSIS`): one folder with the programs,
# Qt's DLLs and platform plugin, Language\, fonts\, the README and the licences
# of everything linked, and for the installer a Start-menu entry.
include(GNUInstallDirs)

if(WIN32)
    set(binDir .)
    set(dataDir .)
else()
    set(binDir ${CMAKE_INSTALL_BINDIR})
    set(dataDir ${CMAKE_INSTALL_DATADIR}/taktarium)
endif()

install(TARGETS taktarium-cli RUNTIME DESTINATION ${binDir})
if(TARGET taktarium)
    install(TARGETS taktarium RUNTIME DESTINATION ${binDir})
endif()
install(DIRECTORY Language DESTINATION ${dataDir})
# Systems without a Liberation font package (Windows) get the fonts text is
# measured with from the installation itself.
set(TAKTARIUM_BUNDLED_FONTS_DIR "" CACHE PATH "A folder with the Liberation*.ttf files to install with the program")
if(TAKTARIUM_BUNDLED_FONTS_DIR)
    install(DIRECTORY ${TAKTARIUM_BUNDLED_FONTS_DIR}/ DESTINATION ${dataDir}/fonts
            FILES_MATCHING PATTERN "Liberation*.ttf")
endif()

set(CPACK_PACKAGE_NAME "Taktarium")
set(CPACK_PACKAGE_VENDOR "Taktarium")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Timetables, tour plans, stop tables and route maps of a bus simulator map")
set(CPACK_PACKAGE_CONTACT "Taktarium <taktarium@localhost>")
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)

if(WIN32)
    # Qt's DLLs, the platform plugin and the mingw run time beside the desktop program.
    if(TARGET taktarium)
        find_package(Qt6 REQUIRED COMPONENTS Widgets)
        install(FILES $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets> DESTINATION .)
        install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION platforms)
        if(TAKTARIUM_QT_TRANSLATIONS)
            install(FILES ${TAKTARIUM_QT_TRANSLATIONS} DESTINATION translations)
        endif()
        # The run-time DLLs as the compiler has them carry their symbols (24 MB
        # for libstdc++ alone); the package gets stripped copies.
        foreach(runtime libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
            execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${runtime}
                            OUTPUT_VARIABLE file OUTPUT_STRIP_TRAILING_WHITESPACE)
            if(NOT IS_ABSOLUTE "${file}")
                set(file /usr/x86_64-w64-mingw32/lib/${runtime})
            endif()
            set(stripped ${CMAKE_BINARY_DIR}/package-runtime/${runtime})
            file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/package-runtime)
            execute_process(COMMAND ${CMAKE_STRIP} --strip-unneeded -o ${stripped} ${file} RESULT_VARIABLE stripFailed)
            if(stripFailed)
                set(stripped ${file})
            endif()
            install(FILES ${stripped} DESTINATION .)
        endforeach()
    endif()
    install(FILES README.md DESTINATION .)
    # The licences of what the programs link and carry, as Debian states them.
    foreach(entry zlib:zlib1g libpng:libpng16-16 expat:libexpat1 freetype:libfreetype6 fontconfig:libfontconfig1
                  pixman:libpixman-1-0 cairo:libcairo2 qt6:libqt6core6 liberation-fonts:fonts-liberation2
                  gcc-runtime:gcc-mingw-w64-x86-64-posix-runtime mingw-w64:mingw-w64-common)
        string(REPLACE ":" ";" pair ${entry})
        list(GET pair 0 name)
        list(GET pair 1 package)
        if(EXISTS /usr/share/doc/${package}/copyright)
            install(FILES /usr/share/doc/${package}/copyright DESTINATION licences RENAME ${name}.txt)
        endif()
    endforeach()

    set(CPACK_GENERATOR "ZIP;NSIS")
    set(CPACK_PACKAGE_FILE_NAME "Taktarium-${PROJECT_VERSION}-win64")
    set(CPACK_PACKAGE_INSTALL_DIRECTORY "Taktarium")
    set(CPACK_NSIS_DISPLAY_NAME "Taktarium")
    set(CPACK_NSIS_PACKAGE_NAME "Taktarium")
    set(CPACK_NSIS_INSTALLED_ICON_NAME "taktarium.exe")
    set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
    # The Start-menu entry: taktarium.exe as "Taktarium", in the top folder
    # of the installation where the programs lie (not in bin\).
    set(CPACK_PACKAGE_EXECUTABLES "taktarium;Taktarium")
    set(CPACK_NSIS_EXECUTABLES_DIRECTORY ".")
else()
    install(FILES packaging/taktarium.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES packaging/taktarium.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    install(FILES packaging/org.taktarium.Taktarium.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

    set(CPACK_GENERATOR "DEB")
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_NAME "taktarium")
    set(CPACK_DEBIAN_PACKAGE_SECTION "misc")
    # The libraries from what the programs link; the fonts from Debian's package
    # unless the package carries them.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    if(NOT TAKTARIUM_BUNDLED_FONTS_DIR)
        set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2")
    endif()
endif()
include(CPack)
