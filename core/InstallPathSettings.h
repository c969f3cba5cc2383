#pragma once

#include <juce_core/juce_core.h>
#include <array>

//==============================================================================
/** The XML file, shared by all of the maker's installers, that names the install folder
    of each format. It is read when present and written with the default folders when
    missing, so that people can edit the paths by hand later.
*/
class InstallPathSettings
{
public:
    InstallPathSettings() = delete;

    using Folders = std::array<juce::File, 3>;

    static constexpr const char* fileName = "PluginManagerSettings.txt";
    static constexpr const char* tagName  = "Plugin_Manager_Settings";

    /** The attribute holding each format's folder, by format index. */
    static const char* pathAttributeFor (int formatIndex);

    /** The warning written for people who edit the file. */
    static const char* const importantNote;

    static juce::File settingsFileIn (const juce::File& settingsFolder);

    /** Replaces the folders with the file's paths when the file exists, creating folders that
        are missing; otherwise writes the file with the folders as they are. A path that is
        absent or empty keeps that format's folder as it was. A malformed file is left alone. */
    static void resolve (const juce::File& settingsFolder, Folders& folders);

    /** The element written to a new settings file. */
    static std::unique_ptr<juce::XmlElement> createElement (const Folders& folders);
};
