#include "TestSupport.h"
#include "core/DiskSpace.h"

#include <limits>

namespace
{
    struct TemporaryFolder
    {
        TemporaryFolder()   { folder.getFile().createDirectory(); }
        ~TemporaryFolder()  { folder.getFile().deleteRecursively(); }

        juce::File get() const  { return folder.getFile(); }

        juce::TemporaryFile folder { juce::String(), juce::TemporaryFile::useHiddenFile };
    };
}

TEST (DiskSpace, SizesAreKibibytesOrMebibytesWithTheNeedRoundedUpAndTheFreeSpaceDown)
{
    EXPECT_EQ (DiskSpace::describe (1, true), "1 KiB");
    EXPECT_EQ (DiskSpace::describe (1, false), "0 KiB");
    EXPECT_EQ (DiskSpace::describe (40411, true), "40 KiB");
    EXPECT_EQ (DiskSpace::describe (40411, false), "39 KiB");
    EXPECT_EQ (DiskSpace::describe (1024 * 1024, true), "1.0 MiB");
    EXPECT_EQ (DiskSpace::describe (1024 * 1024 * 3 / 2 + 1, true), "1.6 MiB");
    EXPECT_EQ (DiskSpace::describe (1024 * 1024 * 3 / 2 + 1, false), "1.5 MiB");
}

TEST (DiskSpace, AFolderNotMadeYetIsJudgedByItsNearestExistingAncestor)
{
    TemporaryFolder temporary;
    const auto missing = temporary.get().getChildFile ("Program Files/Common Files/VST3");

    EXPECT_EQ (DiskSpace::nearestExistingFolder (missing), temporary.get());
    EXPECT_EQ (DiskSpace::nearestExistingFolder (temporary.get()), temporary.get());
    EXPECT_GT (DiskSpace::bytesFreeFor (missing), 0);

    EXPECT_FALSE (DiskSpace::shortfall (missing, 1).has_value());

    // More than any volume holds: the reason names the folder and both sizes, and asking made nothing.
    const auto reason = DiskSpace::shortfall (missing, std::numeric_limits<juce::int64>::max() / 4);
    ASSERT_TRUE (reason.has_value());
    EXPECT_TRUE (reason->startsWith ("Not enough space in " + missing.getFullPathName() + ": the bundle needs ")) << *reason;
    EXPECT_TRUE (reason->contains (" MiB, but only ")) << *reason;
    EXPECT_TRUE (reason->endsWith (" is free")) << *reason;
    EXPECT_FALSE (temporary.get().getChildFile ("Program Files").exists());
}
