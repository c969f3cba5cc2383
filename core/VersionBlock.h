#pragma once

#include "core/PeImageLayout.h"

//==============================================================================
/** The start of a version resource's VS_VERSIONINFO block: its key and the first words of
    VS_FIXEDFILEINFO, as far as the fixed file version.
*/
class VersionBlock
{
public:
    VersionBlock() = delete;

    /** Four numbers joined by ".", such as "2.4.3.0", from the resource's block; empty when
        the resource does not lie whole in one section's data or holds no such block. */
    static juce::String readFixedFileVersion (BoundedReader& reader, const PeImageLayout& layout,
                                              const PeImageLayout::AddressRange& resource);
};
