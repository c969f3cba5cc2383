#pragma once

#include "core/InstallPathSettings.h"

//==============================================================================
/** Where each format is installed, as the window and the command line both find it: the
    default folders under Common Files, then the shared settings file's paths over them.
*/
class InstallFolders
{
public:
    InstallFolders() = delete;

    /** C:\Program Files\Common Files\VST3, ...\CLAP and ...\Avid\Audio\Plug-Ins, by format index. */
    static InstallPathSettings::Folders defaults();

    /** The maker's folder of the machine-wide application-data folder, which holds the
        settings file; it is never created here. */
    static juce::File settingsFolder();

    /** The defaults with the settings file's paths over them; the file is written with the
        defaults when its folder exists and it does not. */
    static InstallPathSettings::Folders resolved();
};
