# Routes compilations through ccache when it is installed; a rebuild of JUCE then costs seconds.
find_program(OV_CCACHE ccache)

if(OV_CCACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
    set(CMAKE_C_COMPILER_LAUNCHER "${OV_CCACHE}")
    set(CMAKE_CXX_COMPILER_LAUNCHER "${OV_CCACHE}")
endif()
