# The installer runs with administrator rights, often from a Downloads folder that any web page
# can drop a file into. Windows looks for a DLL that is not one of its KnownDLLs in the
# executable's own folder first, so every such DLL is delay-loaded: it loads at its first call,
# after app/DllSearchHardening.c has limited the process's search to System32. The image's
# DependentLoadFlags say the same to Windows 10 1607 and later for the imports that remain.
#
# ov_harden_dll_loading (target) applies both to the target, with MSVC or with MinGW-w64.

# Imported by the framework or our code and not loaded by Windows from System32 alone.
set(OV_NON_SYSTEM_DLLS d2d1 d3d11 dbghelp dcomp dwmapi dxgi rstrtmgr version wininet winmm)
# Loaded by name while the program runs: DirectWrite by the framework, the theme library by
# the common controls.
set(OV_RUN_TIME_LOADED_DLLS dwrite uxtheme)

set(OV_DELAY_LOADED_DLLS ${OV_NON_SYSTEM_DLLS})

# KnownDLLs that Windows always takes from System32, delay-loaded all the same: under Wine,
# which runs this executable for many people, these very DLLs import version.dll or load
# uxtheme.dll while the process starts, searching the executable's folder, before any code of
# ours could narrow the search. Loaded at their first call, they come after it. kernel32,
# advapi32, msvcrt and ws2_32 pull in neither and stay static imports.
list(APPEND OV_DELAY_LOADED_DLLS user32 gdi32 comctl32 comdlg32 imm32 ole32 oleaut32 shell32 shlwapi)

# The exports that MinGW-w64's import library of a DLL names: each function has a thunk
# (T name) beside its import slot (I __imp_name); a slot alone is a data export.
function(ov_import_library_exports name out_functions out_data)
    find_program(OV_LLVM_NM NAMES llvm-nm-14 llvm-nm REQUIRED)
    find_library(ov_mingw_import_${name} NAMES lib${name}.a REQUIRED)

    execute_process(COMMAND "${OV_LLVM_NM}" -g --defined-only "${ov_mingw_import_${name}}"
                    OUTPUT_VARIABLE symbols RESULT_VARIABLE result ERROR_QUIET)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "llvm-nm could not read ${ov_mingw_import_${name}}")
    endif()

    string(REGEX MATCHALL "[IT] [A-Za-z_][A-Za-z0-9_@?$]*" entries "${symbols}")
    set(thunks "")
    set(slots "")
    foreach(entry IN LISTS entries)
        if(entry MATCHES "^I __imp_(.+)$")
            list(APPEND slots "${CMAKE_MATCH_1}")
        elseif(entry MATCHES "^T (.+)$")
            list(APPEND thunks "${CMAKE_MATCH_1}")
        endif()
    endforeach()
    list(REMOVE_DUPLICATES slots)

    set(functions "")
    set(data "")
    foreach(slot IN LISTS slots)
        if(slot IN_LIST thunks)
            list(APPEND functions "${slot}")
        else()
            list(APPEND data "${slot}")
        endif()
    endforeach()
    set(${out_functions} "${functions}" PARENT_SCOPE)
    set(${out_data} "${data}" PARENT_SCOPE)
endfunction()

# Makes an import library in the short-import format that lld needs to delay-load a DLL.
# Sets out_library to its path.
function(ov_make_short_import_library name out_library)
    find_program(OV_LLVM_DLLTOOL NAMES llvm-dlltool-14 llvm-dlltool REQUIRED)
    set(folder "${CMAKE_BINARY_DIR}/delay-import")
    set(library "${folder}/lib${name}.a")
    set(${out_library} "${library}" PARENT_SCOPE)

    ov_import_library_exports(${name} functions data)
    set(definition "LIBRARY ${name}.dll\nEXPORTS\n")
    foreach(function IN LISTS functions)
        string(APPEND definition "    ${function}\n")
    endforeach()
    foreach(variable IN LISTS data)
        string(APPEND definition "    ${variable} DATA\n")
    endforeach()

    # Written only when it changes, so a configure does not relink the executable.
    set(previous "")
    if(EXISTS "${folder}/${name}.def")
        file(READ "${folder}/${name}.def" previous)
    endif()
    if(previous STREQUAL definition AND EXISTS "${library}")
        return()
    endif()

    file(WRITE "${folder}/${name}.def" "${definition}")
    execute_process(COMMAND "${OV_LLVM_DLLTOOL}" -m i386:x86-64 -d "${folder}/${name}.def" -l "${library}"
                    RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "llvm-dlltool could not make the import library of ${name}.dll")
    endif()
endfunction()

function(ov_harden_dll_loading target)
    if(MSVC)
        foreach(name IN LISTS OV_DELAY_LOADED_DLLS)
            target_link_options(${target} PRIVATE "/DELAYLOAD:${name}.dll")
        endforeach()
        target_link_options(${target} PRIVATE /DEPENDENTLOADFLAG:0x800)
        target_link_libraries(${target} PRIVATE delayimp)
    elseif(MINGW)
        # The short-import libraries are found before MinGW-w64's own of the same names; the
        # DependentLoadFlags come from the load configuration in app/DllSearchHardening.c.
        foreach(name IN LISTS OV_DELAY_LOADED_DLLS)
            ov_make_short_import_library(${name} library)
            target_link_options(${target} PRIVATE "-Wl,-delayload=${name}.dll")
        endforeach()
        get_filename_component(folder "${library}" DIRECTORY)
        target_link_directories(${target} BEFORE PRIVATE "${folder}")
    endif()
endfunction()
