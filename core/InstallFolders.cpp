#include "core/InstallFolders.h"
#include "core/ProductDefinition.h"
#include "core/WindowsLocations.h"

InstallPathSettings::Folders InstallFolders::defaults()
{
    InstallPathSettings::Folders folders;
    const auto base = WindowsLocations::commonFilesFolder();

    for (int formatIndex = 0; formatIndex < ProductDefinition::numFormats; ++formatIndex)
        folders[(size_t) formatIndex] = base.getChildFile (ProductDefinition::defaultInstallFolderChild (formatIndex));

    return folders;
}

juce::File InstallFolders::settingsFolder()
{
    return WindowsLocations::commonApplicationDataFolder().getChildFile (ProductDefinition::settingsFolderName);
}

InstallPathSettings::Folders InstallFolders::resolved()
{
    auto folders = defaults();
    InstallPathSettings::resolve (settingsFolder(), folders);
    return folders;
}
