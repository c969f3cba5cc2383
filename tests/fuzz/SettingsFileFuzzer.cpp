#include "core/InstallPathSettings.h"
#include "core/WindowsLocations.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size);

namespace
{
    /** A Wine prefix of the fuzzer's own, which is also the current folder, so that every
        reading of a settings path has somewhere inside it to land. */
    struct FuzzPrefix
    {
        FuzzPrefix()
        {
            ::setenv ("WINEPREFIX", root.getFullPathName().toRawUTF8(), 1);
            makerFolder.createDirectory();
            WindowsLocations::driveC().setAsCurrentWorkingDirectory();
        }

        ~FuzzPrefix()
        {
            juce::File ("/").setAsCurrentWorkingDirectory();
            root.deleteRecursively();
        }

        /** Removes the folders earlier inputs made, after half a second of inputs at a time:
            in between, an input finds the folders it names already there, as most repeat. A
            tidy-up only deletes what that half second made, so it stays far inside the 5 s
            that libFuzzer allows an input even on a busy machine, where one after a fixed
            count of inputs once did not. */
        void tidyUp()
        {
            if (juce::Time::getMillisecondCounter() - lastTidyUp < 500)
                return;

            removeAllBut (root, InstallPathSettings::settingsFileIn (makerFolder));
            lastTidyUp = juce::Time::getMillisecondCounter();
        }

        static void removeAllBut (const juce::File& folder, const juce::File& kept)
        {
            for (const auto& child : folder.findChildFiles (juce::File::findFilesAndDirectories, false, "*"))
            {
                if (kept.isAChildOf (child))
                    removeAllBut (child, kept);
                else if (child != kept)
                    child.deleteRecursively();
            }
        }

        const juce::File root = juce::File::getSpecialLocation (juce::File::tempDirectory)
                                    .getNonexistentChildFile ("ov-settings-fuzz-", "", false);
        const juce::File makerFolder = root.getChildFile ("drive_c/ProgramData/Orvanta");
        juce::uint32 lastTidyUp = juce::Time::getMillisecondCounter();
    };

    FuzzPrefix& prefix()
    {
        static FuzzPrefix instance;
        return instance;
    }

    bool isInside (const juce::File& folder, const juce::File& root)
    {
        return folder == root || folder.isAChildOf (root);
    }
}

// Any bytes as the shared settings file: every folder it yields lies inside the prefix, or is
// an absolute path that the file itself spells out, and never anywhere else on this system.
extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    auto& fuzzPrefix = prefix();
    const auto settingsFile = InstallPathSettings::settingsFileIn (fuzzPrefix.makerFolder);

    if (! settingsFile.replaceWithData (data, size))
        __builtin_trap();

    const auto base = WindowsLocations::commonFilesFolder();
    InstallPathSettings::Folders folders { base.getChildFile ("VST3"), base.getChildFile ("CLAP"),
                                           base.getChildFile ("Avid/Audio/Plug-Ins") };
    InstallPathSettings::resolve (fuzzPrefix.makerFolder, folders);

    const auto input = juce::String::fromUTF8 (reinterpret_cast<const char*> (data), (int) size);

    for (const auto& folder : folders)
    {
        const auto path = folder.getFullPathName();

        if (! isInside (folder, fuzzPrefix.root) && ! (juce::File::isAbsolutePath (path) && input.contains (path)))
            __builtin_trap();
    }

    fuzzPrefix.tidyUp();
    return 0;
}
