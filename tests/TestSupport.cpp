#include "TestSupport.h"
#include "core/InstallPathSettings.h"

#include <juce_gui_basics/juce_gui_basics.h>
#include <cstdlib>

ScopedWinePrefix::ScopedWinePrefix()
    : folder (juce::String(), juce::TemporaryFile::useHiddenFile)
{
    const auto* existing = std::getenv ("WINEPREFIX");
    hadPrevious = existing != nullptr;
    previous = hadPrevious ? juce::String (existing) : juce::String();

    folder.getFile().createDirectory();
    ::setenv ("WINEPREFIX", folder.getFile().getFullPathName().toRawUTF8(), 1);
}

ScopedWinePrefix::~ScopedWinePrefix()
{
    if (hadPrevious)
        ::setenv ("WINEPREFIX", previous.toRawUTF8(), 1);
    else
        ::unsetenv ("WINEPREFIX");

    folder.getFile().deleteRecursively();
}

juce::File blockAaxFolder (const ScopedWinePrefix& prefix)
{
    prefix.makerFolder().createDirectory();
    const auto aaxFolder = prefix.driveC().getChildFile ("Blocked/AAX");
    aaxFolder.getParentDirectory().createDirectory();
    aaxFolder.replaceWithText ("x");
    InstallPathSettings::settingsFileIn (prefix.makerFolder())
        .replaceWithText ("<Plugin_Manager_Settings AAX_Path=\"C:\\Blocked\\AAX\"/>");
    return aaxFolder;
}

juce::MemoryBlock readBytes (const juce::File& file)
{
    juce::MemoryBlock block;
    file.loadFileAsData (block);
    return block;
}

std::string readText (const juce::File& file)
{
    const auto block = readBytes (file);
    return std::string (static_cast<const char*> (block.getData()), block.getSize());
}

int main (int argc, char** argv)
{
    ::testing::InitGoogleTest (&argc, argv);

    // The framework's message manager and desktop, as the application would have them.
    juce::ScopedJuceInitialiser_GUI juce;
    return RUN_ALL_TESTS();
}
