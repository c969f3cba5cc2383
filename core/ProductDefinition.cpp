#include "core/ProductDefinition.h"

const juce::StringArray extrasNames      { "EULA", "MANUAL", "WEBSITE", "SUPPORT", "CHANGES" };
const juce::StringArray formatNames      { "VST3", "CLAP", "AAX", "AudioUnit V2", "AudioUnit V3" };
const juce::StringArray formatExtensions { ".vst3", ".clap", ".aaxplugin" };

const juce::String eulaText (juce::CharPointer_ASCII (
   #include "EulaText.inc"
));

namespace ProductDefinition
{
    const char* const installerVersion = OV_INSTALLER_VERSION;

    juce::String defaultInstallFolderChild (int formatIndex)
    {
        switch (formatIndex)
        {
            case vst3:  return "VST3";
            case clap:  return "CLAP";
            case aax:   return "Avid/Audio/Plug-Ins";
            default:    break;
        }

        jassertfalse;
        return {};
    }

    juce::String displayProductName (const juce::String& rawName)
    {
        return rawName.replaceFirstOccurrenceOf ("_", " ");
    }

    juce::String uninstallKeyName()
    {
        return juce::String (makerName) + " " + displayProductName (rawProductName);
    }

    juce::String keptCopyPath()
    {
        return juce::String (programFilesPath) + "\\" + makerName + "\\" + displayProductName (rawProductName)
             + "\\" + keptCopyFileName;
    }

    juce::String uninstallCommand()
    {
        return keptCopyPath().quoted() + " uninstall all";
    }

    juce::String bundleName (const juce::String& productName, int formatIndex)
    {
        return productName + formatExtensions[formatIndex];
    }

    juce::File bundleFor (const juce::File& installFolder, const juce::String& productName, int formatIndex)
    {
        return installFolder.getChildFile (bundleName (productName, formatIndex));
    }

    juce::File versionFileFor (const juce::File& bundle, const juce::String& productName, int formatIndex)
    {
        const auto moduleName = bundleName (productName, formatIndex);

        switch (formatIndex)
        {
            case vst3:  return bundle.getChildFile ("Contents/x86_64-win/" + moduleName);
            case aax:   return bundle.getChildFile ("Contents/x64/" + moduleName);
            case clap:
            default:    return bundle;
        }
    }
}
