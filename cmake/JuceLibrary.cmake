# JUCE's modules are interface libraries that hand their sources to every target linking them.
# To compile them exactly once, ov_juce takes them privately and re-exports only their include
# folders, definitions and system libraries; the app, our code and the tests link ov_juce.

add_library(ov_juce STATIC)

target_link_libraries(ov_juce
    PRIVATE
        juce::juce_core
        juce::juce_events
        juce::juce_graphics
        juce::juce_gui_basics
    PUBLIC
        juce::juce_recommended_config_flags)

target_compile_definitions(ov_juce
    PUBLIC
        JUCE_WEB_BROWSER=0
        JUCE_USE_CURL=0
        JUCE_STANDALONE_APPLICATION=1
        JUCE_APPLICATION_NAME_STRING="ov_installer"
        JUCE_APPLICATION_VERSION_STRING="${PROJECT_VERSION}")

target_include_directories(ov_juce INTERFACE
    $<TARGET_PROPERTY:ov_juce,INCLUDE_DIRECTORIES>)
target_compile_definitions(ov_juce INTERFACE
    $<TARGET_PROPERTY:ov_juce,COMPILE_DEFINITIONS>)

set_target_properties(ov_juce PROPERTIES
    POSITION_INDEPENDENT_CODE TRUE
    VISIBILITY_INLINES_HIDDEN TRUE
    C_VISIBILITY_PRESET hidden
    CXX_VISIBILITY_PRESET hidden)

if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    # Debian's JUCE uses the system's zlib, libpng and libjpeg, but only the juce_add_* targets
    # get the image libraries linked automatically.
    find_package(ZLIB REQUIRED)
    target_link_libraries(ov_juce PUBLIC ZLIB::ZLIB juce::pkgconfig_JUCE_IMG_LINUX_DEPS)
endif()

if(WIN32 AND NOT MSVC)
    # MSVC takes the system libraries from the framework's #pragma comment (lib) lines, which
    # the MinGW-w64 linkers ignore; there they are named here.
    target_link_libraries(ov_juce PUBLIC
        d2d1 d3d11 dcomp dxgi dwrite dxguid dwmapi dbghelp imm32 comctl32 comdlg32 shlwapi
        version wininet winmm ws2_32 ole32 oleaut32 uuid rpcrt4 gdi32 shell32 user32 advapi32
        pthread)
endif()

if(WIN32 AND NOT EXISTS "${OV_JUCE_DIR}/modules/juce_graphics/image_formats/pnglib")
    # Debian's framework tree leaves out its copies of zlib, libpng and libjpeg; on Windows they
    # come from the toolchain (tools/build_windows.sh cross-builds them, vcpkg has them for
    # MSVC). The framework as published compiles its own copies.
    find_package(ZLIB REQUIRED)
    find_package(PNG REQUIRED)
    find_package(JPEG REQUIRED)
    target_link_libraries(ov_juce PUBLIC PNG::PNG JPEG::JPEG ZLIB::ZLIB)
endif()
