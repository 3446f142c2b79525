# What a Windows program needs beside itself to run from the build folder (and
# under Wine, which sees nothing of the build machine): the fonts text is
# measured with, and for Qt programs Qt's DLLs, its platform plugins and the
# mingw run-time DLLs that Qt's DLLs load.

# The Liberation fonts, from TAKTARIUM_BUNDLED_FONTS_DIR.
function(taktarium_copy_fonts target)
    if(NOT WIN32 OR NOT TAKTARIUM_BUNDLED_FONTS_DIR)
        return()
    endif()
    file(GLOB fonts "${TAKTARIUM_BUNDLED_FONTS_DIR}/Liberation*.ttf")
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E make_directory $<TARGET_FILE_DIR:${target}>/fonts
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${fonts} $<TARGET_FILE_DIR:${target}>/fonts)
endfunction()

# Qt's translations of its own texts, for the languages of Language/: the same
# files on every platform, taken from the build machine's Qt (Debian's
# qt6-translations-l10n), shipped beside the Windows program.
set(TAKTARIUM_QT_TRANSLATIONS_DIR /usr/share/qt6/translations CACHE PATH "Where Qt's qtbase_*.qm files lie")
set(TAKTARIUM_QT_TRANSLATIONS)
foreach(language de en)
    if(EXISTS ${TAKTARIUM_QT_TRANSLATIONS_DIR}/qtbase_${language}.qm)
        list(APPEND TAKTARIUM_QT_TRANSLATIONS ${TAKTARIUM_QT_TRANSLATIONS_DIR}/qtbase_${language}.qm)
    endif()
endforeach()

# Qt's DLLs (of the Qt targets named), both platform plugins, the mingw run-time
# DLLs, and the fonts also where Qt's offscreen platform looks for them (lib/fonts).
function(taktarium_copy_qt_runtime target)
    if(NOT WIN32)
        return()
    endif()
    set(dlls)
    foreach(qtTarget IN LISTS ARGN)
        list(APPEND dlls $<TARGET_FILE:${qtTarget}>)
    endforeach()
    foreach(runtime libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${runtime}
                        OUTPUT_VARIABLE file OUTPUT_STRIP_TRAILING_WHITESPACE)
        if(NOT IS_ABSOLUTE "${file}")
            file(GLOB file "/usr/x86_64-w64-mingw32/lib/${runtime}")
        endif()
        list(APPEND dlls ${file})
    endforeach()
    set(dir $<TARGET_FILE_DIR:${target}>)
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${dlls} ${dir}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}/platforms
        COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin>
                $<TARGET_FILE:Qt6::QOffscreenIntegrationPlugin> ${dir}/platforms)
    # Qt's own texts (file choosers, buttons) in the languages the program has.
    if(TAKTARIUM_QT_TRANSLATIONS)
        add_custom_command(TARGET ${target} POST_BUILD
            COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}/translations
            COMMAND ${CMAKE_COMMAND} -E copy_if_different ${TAKTARIUM_QT_TRANSLATIONS} ${dir}/translations)
    endif()
    if(TAKTARIUM_BUNDLED_FONTS_DIR)
        file(GLOB fonts "${TAKTARIUM_BUNDLED_FONTS_DIR}/Liberation*.ttf")
        add_custom_command(TARGET ${target} POST_BUILD
            COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}/lib/fonts
            COMMAND ${CMAKE_COMMAND} -E copy_if_different ${fonts} ${dir}/lib/fonts)
    endif()
    taktarium_copy_fonts(${target})
endfunction()
