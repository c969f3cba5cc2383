#include "core/ModuleVersionReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size);

// Any bytes at all: the reader must answer with nothing or four numbers, within its budget.
extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    juce::MemoryInputStream stream (data, size, false);
    const auto result = ModuleVersionReader::read (stream);

    if (result.bytesRead > ModuleVersionReader::maxBytesRead)
        __builtin_trap();

    if (result.version.isNotEmpty() && result.version.removeCharacters ("0123456789").length() != 3)
        __builtin_trap();

    return 0;
}
