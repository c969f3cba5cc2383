#pragma once

#include <juce_core/juce_core.h>

//==============================================================================
/** The Windows folders the installer works with, and the translation of the Windows paths
    that the shared settings file holds.

    On Windows every function is the plain framework call. Elsewhere drive C: is the
    drive_c folder of a Wine prefix ($WINEPREFIX when set, otherwise ~/.wine), which is
    where Wine-hosted audio hosts look for Windows plug-ins; other drive letters go through
    the prefix's dosdevices links, as Wine itself resolves them.
*/
class WindowsLocations
{
public:
    WindowsLocations() = delete;

    /** "C:/Program Files/Common Files", the base of the default install folders. */
    static juce::File commonFilesFolder();

    /** The machine-wide application-data folder (C:\ProgramData on Windows). */
    static juce::File commonApplicationDataFolder();

    /** Turns a path read from the settings file into a folder, as Windows would read it: a
        path rooted without a drive (\Audio\VST3) is on drive C: (on Windows, the system
        drive) wherever the program was started, and \\server\share\rest goes through the
        prefix's dosdevices/unc folder, as Wine maps it. A path that has no such place, such
        as a device path, gives the empty path. */
    static juce::File fileFromSettingsPath (const juce::String& path);

    /** Turns a folder into the path written to the settings file: C:\... inside drive C:,
        otherwise the folder's path on drive Z:, which Wine maps to the root of this system. */
    static juce::String settingsPathFor (const juce::File& folder);

    /** The drive Windows runs from, C:\ on nearly every machine; off Windows, drive C:. */
    static juce::File systemDrive();

    /** The Wine prefix that stands in for the Windows system off Windows. */
    static juce::File winePrefix();

    /** The folder that drive C: maps to. */
    static juce::File driveC();
};
