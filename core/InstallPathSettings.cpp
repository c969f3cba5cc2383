#include "core/InstallPathSettings.h"
#include "core/WindowsLocations.h"
#include "core/FileTypes.h"
#include "core/TextDecoding.h"
#include "core/XmlScreen.h"

const char* const InstallPathSettings::importantNote =
    "These are the paths that all Orvanta installers will use for their respective formats. "
    "Edit them to personal taste, but keep in mind that some formats have specific homes. "
    "Use this feature at your own risk; follow the naming and separator conventions exactly "
    "as you see them, or you could end up with unintended consequences. If you delete this "
    "file, the next time you run the Plugin Manager for any OV product, a new one with the "
    "default locations will be written.";

namespace
{
    // The order in which the paths are read: VST3, CLAP, AAX.
    constexpr int readOrder[] { 0, 1, 2 };

    // The order in which they are written, after the note: CLAP, VST3, AAX.
    constexpr int writeOrder[] { 1, 0, 2 };

    void readFolders (const juce::XmlElement& root, InstallPathSettings::Folders& folders)
    {
        for (const auto formatIndex : readOrder)
        {
            const auto path = root.getStringAttribute (InstallPathSettings::pathAttributeFor (formatIndex));

            // An empty path would resolve to the root of the drive; keep the default instead.
            if (path.trim().isEmpty())
                continue;

            auto folder = WindowsLocations::fileFromSettingsPath (path);

            // A path with no place on this system leaves the default in charge.
            if (folder == juce::File())
                continue;

            if (! folder.exists())
                folder.createDirectory();

            folders[(size_t) formatIndex] = folder;
        }
    }

    /** A settings file is a few hundred bytes; one far larger is not one, and reading it
        whole could exhaust the memory. */
    constexpr juce::int64 maximumFileSize = 1 << 20;

    /** The file's element, or nothing for a file that cannot be read as text: not an ordinary
        file (a pipe would block the read for ever), too large, not UTF-8, or not plain,
        well-formed XML. Such a file is left alone, and the defaults serve. */
    std::unique_ptr<juce::XmlElement> parseSettings (const juce::File& settingsFile)
    {
        juce::MemoryBlock bytes;

        if (! FileTypes::isRegularFile (settingsFile)
             || settingsFile.getSize() > maximumFileSize
             || ! settingsFile.loadFileAsData (bytes))
            return {};

        const auto text = TextDecoding::decode (bytes.getData(), bytes.getSize());

        if (! text || ! XmlScreen::isPlainDocument (*text))
            return {};

        return juce::parseXML (*text);
    }
}

const char* InstallPathSettings::pathAttributeFor (int formatIndex)
{
    switch (formatIndex)
    {
        case 0:  return "VST3_Path";
        case 1:  return "CLAP_Path";
        case 2:  return "AAX_Path";
        default: break;
    }

    jassertfalse;
    return "";
}

juce::File InstallPathSettings::settingsFileIn (const juce::File& settingsFolder)
{
    return settingsFolder.getChildFile (fileName);
}

void InstallPathSettings::resolve (const juce::File& settingsFolder, Folders& folders)
{
    const auto settingsFile = settingsFileIn (settingsFolder);

    if (settingsFile.existsAsFile())
    {
        if (const auto root = parseSettings (settingsFile))
            readFolders (*root, folders);

        return;
    }

    // A folder in the file's place is somebody's; the framework's move would replace it
    // when empty, so it is left alone and the defaults serve, as when the write fails.
    if (settingsFile.isDirectory())
        return;

    // Written through a temporary file beside the target; when the maker's folder is
    // missing this fails quietly and the defaults serve for this run.
    createElement (folders)->writeTo (settingsFile);
}

std::unique_ptr<juce::XmlElement> InstallPathSettings::createElement (const Folders& folders)
{
    auto element = std::make_unique<juce::XmlElement> (tagName);
    element->setAttribute ("Important_Note:", importantNote);

    for (const auto formatIndex : writeOrder)
        element->setAttribute (pathAttributeFor (formatIndex),
                               WindowsLocations::settingsPathFor (folders[(size_t) formatIndex]));

    return element;
}
