#pragma once

#include <juce_core/juce_core.h>

//==============================================================================
/** The support e-mail that the support panel's MAIL button opens in the user's mail program:
    the product and a description of the machine, ready for the user to add the problem.
*/
namespace SupportMail
{
    /** What the body says about the machine. */
    struct SystemDescription
    {
        juce::String operatingSystem;
        juce::String device;
        juce::String cpu;

        /** This machine as the framework reports it. */
        static SystemDescription ofThisMachine();
    };

    juce::String composeSubject (const juce::String& productName);

    juce::String composeBody (const juce::String& productName, const juce::String& productVersion,
                              const SystemDescription& system);

    /** The mailto link with the subject and body escaped as parameter values, byte by byte. */
    juce::String composeLink (const juce::String& productName, const juce::String& productVersion,
                              const SystemDescription& system);
}
