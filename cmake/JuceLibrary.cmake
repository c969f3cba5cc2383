# JUCE's modules are interface libraries that hand their sources to every target linking them.
# To compile each exactly once, two static libraries take them privately and re-export only
# their include folders, definitions and system libraries:
#   ov_juce_core   juce_core, all that the installer core and its tests link;
#   ov_juce        juce_events, juce_graphics and juce_gui_basics on top of it, for the window.

set(OV_JUCE_DEFINITIONS
    JUCE_WEB_BROWSER=0
    JUCE_USE_CURL=0
    JUCE_STANDALONE_APPLICATION=1
    JUCE_APPLICATION_NAME_STRING="ov_installer"
    JUCE_APPLICATION_VERSION_STRING="${PROJECT_VERSION}")

function(ov_reexport_juce_library target)
    target_include_directories(${target} INTERFACE $<TARGET_PROPERTY:${target},INCLUDE_DIRECTORIES>)
    target_compile_definitions(${target} INTERFACE $<TARGET_PROPERTY:${target},COMPILE_DEFINITIONS>)
    set_target_properties(${target} PROPERTIES
        POSITION_INDEPENDENT_CODE TRUE
        VISIBILITY_INLINES_HIDDEN TRUE
        C_VISIBILITY_PRESET hidden
        CXX_VISIBILITY_PRESET hidden)
endfunction()

# ---- juce_core ----------------------------------------------------------------------------------

add_library(ov_juce_core STATIC)
get_target_property(ov_juce_core_sources juce_core INTERFACE_SOURCES)
target_sources(ov_juce_core PRIVATE ${ov_juce_core_sources})
target_link_libraries(ov_juce_core PRIVATE juce::juce_core PUBLIC juce::juce_recommended_config_flags)
target_compile_definitions(ov_juce_core PRIVATE ${OV_JUCE_DEFINITIONS})
ov_reexport_juce_library(ov_juce_core)

# From here on juce_core hands its sources to nobody: ov_juce below, which links the GUI modules
# and through them juce_core, compiles only the GUI modules and takes juce_core from ov_juce_core.
set_property(TARGET juce_core PROPERTY INTERFACE_SOURCES "")

# ---- the GUI modules ----------------------------------------------------------------------------

add_library(ov_juce STATIC)
target_link_libraries(ov_juce
    PRIVATE
        juce::juce_events
        juce::juce_graphics
        juce::juce_gui_basics
    PUBLIC
        ov_juce_core)
ov_reexport_juce_library(ov_juce)

if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    # Debian's JUCE uses the system's zlib, libpng and libjpeg, but only the juce_add_* targets
    # get the image libraries linked automatically.
    find_package(ZLIB REQUIRED)
    target_link_libraries(ov_juce_core PUBLIC ZLIB::ZLIB)
    target_link_libraries(ov_juce PUBLIC juce::pkgconfig_JUCE_IMG_LINUX_DEPS)
endif()

if(WIN32 AND NOT MSVC)
    # MSVC takes the system libraries from the framework's #pragma comment (lib) lines, which
    # the MinGW-w64 linkers ignore; there they are named here.
    target_link_libraries(ov_juce_core PUBLIC
        version wininet winmm ws2_32 shlwapi ole32 oleaut32 uuid rpcrt4 shell32 user32 advapi32 dbghelp
        pthread)
    target_link_libraries(ov_juce PUBLIC
        d2d1 d3d11 dcomp dxgi dwrite dxguid dwmapi imm32 comctl32 comdlg32 gdi32)
endif()

if(WIN32 AND NOT EXISTS "${OV_JUCE_DIR}/modules/juce_graphics/image_formats/pnglib")
    # Debian's framework tree leaves out its copies of zlib, libpng and libjpeg; on Windows they
    # come from the toolchain (tools/build_windows.sh cross-builds them, vcpkg has them for
    # MSVC). The framework as published compiles its own copies.
    find_package(ZLIB REQUIRED)
    find_package(PNG REQUIRED)
    find_package(JPEG REQUIRED)
    target_link_libraries(ov_juce_core PUBLIC ZLIB::ZLIB)
    target_link_libraries(ov_juce PUBLIC PNG::PNG JPEG::JPEG)
endif()
