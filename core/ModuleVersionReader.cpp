#include "core/ModuleVersionReader.h"
#include "core/FileTypes.h"
#include "core/ResourceTree.h"
#include "core/VersionBlock.h"

namespace
{
    juce::String readVersion (BoundedReader& reader)
    {
        const auto image = PeImageLayout::read (reader);

        if (! image)
            return {};

        // The tree may not reach past its directory entry nor past its section's data.
        const auto treeExtent = image->mapToFile (image->resources.rva, image->resources.size);

        if (! treeExtent)
            return {};

        const auto resource = ResourceTree (reader, *treeExtent).findVersionResource();

        if (! resource)
            return {};

        return VersionBlock::readFixedFileVersion (reader, *image, *resource);
    }
}

//==============================================================================
juce::String ModuleVersionReader::readFileVersion (const juce::File& module)
{
   #if JUCE_WINDOWS
    return module.getVersion();
   #else
    // A folder opens like a file on some systems, and a pipe would block the opening for
    // ever, so only an ordinary file is opened.
    if (! FileTypes::isRegularFile (module))
        return {};

    juce::FileInputStream stream (module);

    if (stream.failedToOpen())
        return {};

    return readFileVersion (stream);
   #endif
}

juce::String ModuleVersionReader::readFileVersion (juce::InputStream& stream)
{
    return read (stream).version;
}

ModuleVersionReader::Result ModuleVersionReader::read (juce::InputStream& stream)
{
    BoundedReader reader (stream, maxBytesRead);
    auto version = readVersion (reader);
    return { std::move (version), reader.bytesRead() };
}
