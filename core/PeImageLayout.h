#pragma once

#include "core/BoundedReader.h"

#include <optional>
#include <vector>

//==============================================================================
/** Where the sections and the resources of a Windows module (a PE32 or PE32+ file) lie, from
    its DOS and PE headers, the resource entry of its data directory and its section table,
    each checked before use.
*/
struct PeImageLayout
{
    struct Section
    {
        juce::uint32 virtualAddress = 0;
        juce::uint32 sizeOnDisk = 0;      // the part of the section that the file holds
        juce::uint32 pointerToRawData = 0;
    };

    /** A run of bytes in the file: where it starts and how many bytes belong to it. */
    struct Extent
    {
        juce::int64 fileOffset = 0;
        juce::int64 size = 0;
    };

    /** An RVA and a size, as the data directory and the resource data entries give them. */
    struct AddressRange
    {
        juce::uint32 rva = 0;
        juce::uint32 size = 0;
    };

    std::vector<Section> sections;
    AddressRange resources;

    /** The layout of the module, or nothing when it is no PE image or has no resources. */
    static std::optional<PeImageLayout> read (BoundedReader& reader);

    /** Where in the file the bytes at rva lie, with as many of the size bytes as the same
        section holds on disk; nothing when no section's data holds the rva. */
    std::optional<Extent> mapToFile (juce::uint32 rva, juce::uint32 size) const;
};
