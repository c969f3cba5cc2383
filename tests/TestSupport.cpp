#include "TestSupport.h"
#include "core/InstallPathSettings.h"

#include <cstdlib>

#if JUCE_MODULE_AVAILABLE_juce_gui_basics
 #include <juce_gui_basics/juce_gui_basics.h>
#endif

ScopedWinePrefix::ScopedWinePrefix()
    : folder (juce::String(), juce::TemporaryFile::useHiddenFile)
{
    const auto* existing = std::getenv ("WINEPREFIX");
    hadPrevious = existing != nullptr;
    previous = hadPrevious ? juce::String (existing) : juce::String();

    folder.getFile().createDirectory();
    setEnvironment ("WINEPREFIX", folder.getFile().getFullPathName().toRawUTF8());
}

ScopedWinePrefix::~ScopedWinePrefix()
{
    setEnvironment ("WINEPREFIX", hadPrevious ? previous.toRawUTF8() : nullptr);
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

bool runsOnWindows()
{
    return (juce::SystemStats::getOperatingSystemType() & juce::SystemStats::Windows) != 0;
}

void setEnvironment (const char* name, const char* value)
{
   #if JUCE_WINDOWS
    // The C library's own copy of the environment is the one getenv reads.
    _putenv_s (name, value != nullptr ? value : "");
   #else
    if (value != nullptr)
        ::setenv (name, value, 1);
    else
        ::unsetenv (name);
   #endif
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

   #if JUCE_MODULE_AVAILABLE_juce_gui_basics
    // The framework's message manager and desktop, as the application would have them.
    juce::ScopedJuceInitialiser_GUI juce;
   #endif
    return RUN_ALL_TESTS();
}
