#pragma once

#include <juce_core/juce_core.h>

//==============================================================================
/** Everything about the one product this installer carries, fixed when it is built.

    The three name lists double as the component names by which the buttons are told
    apart, so their texts and the literals compared in the commands must stay identical.
*/
namespace ProductDefinition
{
    constexpr int numFormats = 3;
    constexpr int numExtras  = 5;

    enum FormatIndex
    {
        vst3 = 0,
        clap = 1,
        aax  = 2
    };

    inline constexpr const char* applicationName  = "ov_installer";
    /** The installer's own version, "1.2.0": project (VERSION) in CMakeLists.txt, its one source. */
    extern const char* const installerVersion;
    inline constexpr const char* makerName        = "Orvanta";

    inline constexpr const char* rawProductName   = "Kelvara 2";
    inline constexpr const char* productVersion   = "2.4.3";
    inline constexpr const char* platformSuffix   = " for Windows";

    inline constexpr const char* productPageAddress = "https://www.orvanta-audio.example/products/kelvara-2";
    inline constexpr const char* manualAddress      = "https://docs.orvanta-audio.example/manuals/Kelvara_2_Manual.pdf";

    /** The start of the support e-mail link: scheme, address and the subject parameter's name. */
    inline constexpr const char* supportMailLinkStart = "mailto:support@orvanta-audio.example?subject=";

    /** The invitation to the maker's community chat. */
    inline constexpr const char* discordInviteAddress = "https://discord.gg/orvanta-audio";

    /** The years of the about text's closing line. */
    inline constexpr const char* copyrightYears = "2021-2026";

    /** The Windows folder under which every format's default install folder lies. */
    inline constexpr const char* commonFilesPath = "C:/Program Files/Common Files";

    /** The maker's folder inside the machine-wide application-data folder. */
    inline constexpr const char* settingsFolderName = "Orvanta";

    /** Where Windows keeps programs; the kept copy of the installer lives below it. */
    inline constexpr const char* programFilesPath = "C:\\Program Files";

    /** The file name of the installer's kept copy. */
    inline constexpr const char* keptCopyFileName = "ov_installer.exe";

    /** The subkey of the machine's Uninstall key that holds the Apps & features entry:
        maker and product, "Orvanta Kelvara 2". */
    juce::String uninstallKeyName();

    /** "C:\Program Files\Orvanta\Kelvara 2\ov_installer.exe": one folder per product under
        the maker's, so that another product's installer keeps its own copy. */
    juce::String keptCopyPath();

    /** The command that the entry's UninstallString and QuietUninstallString both hold: the
        kept copy, quoted, removing every format without a window. */
    juce::String uninstallCommand();

    /** The default install folder of each format, relative to the common files folder. */
    juce::String defaultInstallFolderChild (int formatIndex);

    /** The name shown everywhere: its first underscore, if any, becomes a space. */
    juce::String displayProductName (const juce::String& rawName);

    /** The name of a format's bundle, which is also the name of the module inside it. */
    juce::String bundleName (const juce::String& productName, int formatIndex);

    /** The item in an install folder that holds one format of the product. */
    juce::File bundleFor (const juce::File& installFolder, const juce::String& productName, int formatIndex);

    /** The module whose version resource tells the installed version: the CLAP bundle is
        itself the module, the others keep it inside their Contents folder. */
    juce::File versionFileFor (const juce::File& bundle, const juce::String& productName, int formatIndex);
}

//==============================================================================
extern const juce::StringArray extrasNames;       // "EULA", "MANUAL", "WEBSITE", "SUPPORT", "CHANGES"
extern const juce::StringArray formatNames;       // "VST3", "CLAP", "AAX" and two formats not offered
extern const juce::StringArray formatExtensions;  // ".vst3", ".clap", ".aaxplugin"

/** The licence agreement shown by the licence panel. */
extern const juce::String eulaText;
