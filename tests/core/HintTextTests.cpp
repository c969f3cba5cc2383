#include "TestSupport.h"
#include "core/HintText.h"

TEST (HintText, FixedTextsForTheExtrasAndInstall)
{
    EXPECT_EQ (HintText::forButton ("EULA", false, "2.4.3"), juce::String ("Click to read End-User License Agreement"));
    EXPECT_EQ (HintText::forButton ("MANUAL", false, "2.4.3"), juce::String ("Click to open product manual in your web browser"));
    EXPECT_EQ (HintText::forButton ("WEBSITE", false, "2.4.3"), juce::String ("Click to open product page on the Orvanta website"));
    EXPECT_EQ (HintText::forButton ("SUPPORT", false, "2.4.3"), juce::String ("Email and Discord support"));
    EXPECT_EQ (HintText::forButton ("CHANGES", false, "2.4.3"), juce::String ("Click to view release notes"));
    EXPECT_EQ (HintText::forButton ("INSTALL", true, "2.4.3"),
               juce::String ("Click to install selected. Shift-click to uninstall selected"));
}

TEST (HintText, FormatsOfferAnInstallOrAnUpdateByWhatIsOnDisk)
{
    EXPECT_EQ (HintText::forButton ("VST3", false, "2.4.3"), juce::String ("Select to install VST3"));
    EXPECT_EQ (HintText::forButton ("CLAP", true, "2.4.3"), juce::String ("Select to update CLAP to 2.4.3"));
    EXPECT_EQ (HintText::forButton ("AAX", true, "9.9"), juce::String ("Select to update AAX to 9.9"));
}

TEST (HintText, SelectAllAndUnknownNamesLeaveTheLineAlone)
{
    EXPECT_FALSE (HintText::forButton ("SELECT_ALL", false, "2.4.3").has_value());
    EXPECT_FALSE (HintText::forButton ("eula", false, "2.4.3").has_value());
    EXPECT_FALSE (HintText::forButton ({}, true, "2.4.3").has_value());
}
