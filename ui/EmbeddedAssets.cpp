#include "ui/EmbeddedAssets.h"
#include "ui/Palette.h"

#include <BinaryData.h>

namespace EmbeddedAssets
{
    std::unique_ptr<juce::Drawable> loadIcon (const char* data, int size)
    {
        auto drawable = juce::Drawable::createFromImageData (data, (size_t) size);
        jassert (drawable != nullptr);
        return drawable;
    }

    std::unique_ptr<juce::Drawable> loadCharcoalIcon (const char* data, int size)
    {
        auto drawable = loadIcon (data, size);
        drawable->replaceColour (juce::Colours::black, Palette::charcoal);
        return drawable;
    }

    void loadPictures (std::array<std::unique_ptr<juce::Drawable>, 3>& formatIcons,
                       std::array<std::unique_ptr<juce::Drawable>, 5>& buttonIcons,
                       std::unique_ptr<juce::Drawable>& changelogIcon,
                       std::unique_ptr<juce::Drawable>& logo,
                       std::unique_ptr<juce::Drawable>& warningIcon)
    {
        formatIcons[0] = loadCharcoalIcon (BinaryData::icon_vst3_svg, BinaryData::icon_vst3_svgSize);
        formatIcons[1] = loadCharcoalIcon (BinaryData::icon_clap_svg, BinaryData::icon_clap_svgSize);
        formatIcons[2] = loadCharcoalIcon (BinaryData::icon_aax_svg,  BinaryData::icon_aax_svgSize);

        buttonIcons[0] = loadCharcoalIcon (BinaryData::icon_eula_svg,    BinaryData::icon_eula_svgSize);
        buttonIcons[1] = loadCharcoalIcon (BinaryData::icon_manual_svg,  BinaryData::icon_manual_svgSize);
        buttonIcons[2] = loadCharcoalIcon (BinaryData::icon_web_svg,     BinaryData::icon_web_svgSize);
        buttonIcons[3] = loadCharcoalIcon (BinaryData::icon_help_svg,    BinaryData::icon_help_svgSize);
        buttonIcons[4] = loadCharcoalIcon (BinaryData::icon_install_svg, BinaryData::icon_install_svgSize);

        changelogIcon = loadCharcoalIcon (BinaryData::icon_changelog_svg, BinaryData::icon_changelog_svgSize);

        // The wordmark keeps its black; painting recolours it only while it draws it.
        logo = loadIcon (BinaryData::logo_orvanta_svg, BinaryData::logo_orvanta_svgSize);

        // Drawn as it is, in its own orange.
        warningIcon = loadIcon (BinaryData::icon_warning_svg, BinaryData::icon_warning_svgSize);
    }

    juce::String releaseNotes()
    {
        return juce::String::createStringFromData (BinaryData::CHANGELOG_md, BinaryData::CHANGELOG_mdSize);
    }
}
