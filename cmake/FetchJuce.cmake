# Makes sure the verified JUCE tree is present, fetching it on first configure so that a plain
# `cmake -S . -B build` (or an IDE's configure) needs nothing else.

set(OV_JUCE_DIR "${CMAKE_SOURCE_DIR}/third_party/juce-8.0.6+ds" CACHE PATH "JUCE 8.0.6 source tree")

if(NOT EXISTS "${OV_JUCE_DIR}/CMakeLists.txt" OR NOT EXISTS "${OV_JUCE_DIR}/.verified-8.0.6+ds-2")
    message(STATUS "Fetching JUCE 8.0.6 from Debian's archive")
    execute_process(COMMAND bash "${CMAKE_SOURCE_DIR}/tools/fetch_juce.sh"
                    RESULT_VARIABLE ov_fetch_result)

    if(NOT ov_fetch_result EQUAL 0)
        message(FATAL_ERROR "Could not fetch JUCE 8.0.6: see the messages of tools/fetch_juce.sh above")
    endif()
endif()
