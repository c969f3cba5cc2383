#pragma once

#include <juce_gui_basics/juce_gui_basics.h>
#include <array>

#include "core/InstallEngine.h"
#include "ui/CustomLookAndFeel.h"
#include "ui/KeyboardNavigation.h"
#include "ui/HiddenButton.h"
#include "panels/panel_eula.h"
#include "panels/panel_support.h"
#include "panels/panel_changelog.h"

//==============================================================================
/** The whole main screen, and the owner of all of the installer's state: the product
    strings, the install folders, the selection, every button, picture and panel.

    The buttons are transparent hit areas; everything the user sees of them is painted, by
    MainScreenPainter, from their bounds and mouse state, and from the keyboard focus once a key
    has been used.
*/
class MainComponent : public juce::Component,
                      public juce::Button::Listener
{
public:
    MainComponent();
    ~MainComponent() override;

    void paint (juce::Graphics&) override;
    void modifierKeysChanged (const juce::ModifierKeys&) override;
    void resized() override;
    bool keyPressed (const juce::KeyPress&) override;
    void focusOfChildComponentChanged (FocusChangeType) override;

    void buttonClicked (juce::Button*) override;
    void buttonStateChanged (juce::Button*) override;

    //==============================================================================
    float getScale() const noexcept                              { return scale; }
    bool isUninstallMode() const noexcept                        { return uninstallMode; }
    bool isFormatSelected (int formatIndex) const                { return formatSelected[(size_t) formatIndex]; }
    const juce::File& getInstallFolder (int formatIndex) const   { return installFolders[(size_t) formatIndex]; }
    const juce::File& getSettingsFolder() const noexcept         { return settingsFolder; }
    const CustomLookAndFeel& getCustomLookAndFeel() const noexcept { return customLookAndFeel; }
    bool isInstallFinished() const noexcept                      { return installFinished; }

    /** What the last INSTALL run did for each format it processed, in format order. */
    const std::vector<InstallEngine::FormatResult>& getFormatResults() const noexcept { return formatResults; }

private:
    //==============================================================================
    void loadPictures();
    void setDefaultInstallFolders();
    void resolveInstallFolders();
    void createHintLabel();

    juce::File bundleFor (int formatIndex) const;
    void showHintFor (const juce::Button&);
    void createKeyboardNavigation();

    void installSelectedFormats();
    void announceResult();
    void toggleFormat (int formatIndex);
    void selectAllFormats();
    void changeSelection (const std::array<bool, 3>&);
    void reportChange (juce::Button&, HiddenButton::Change);
    void setFailureReasonShown (bool);
    void focusAfterRun();
    void openEulaPanel();
    void openSupportPanel();
    void openChangelogPanel();

    template <typename Panel>
    void followWindow (Panel*);

    template <typename Panel>
    void present (Panel&, int openerExtrasIndex);

    //==============================================================================
    int lastModifierFlags = 0;
    CustomLookAndFeel customLookAndFeel;
    float scale = 9.0f;

    juce::String productName;
    juce::String productVersion;
    juce::String platformSuffix;

    std::array<std::unique_ptr<juce::TextButton>, 5> extrasButtons;
    std::array<std::unique_ptr<juce::TextButton>, 3> formatButtons;
    std::unique_ptr<juce::TextButton> installButton;
    std::unique_ptr<juce::TextButton> selectAllButton;

    std::unique_ptr<panel_eula> eulaPanel;
    std::unique_ptr<panel_support> supportPanel;
    std::unique_ptr<panel_changelog> changelogPanel;

    std::unique_ptr<juce::Label> hintLabel;

    std::array<std::unique_ptr<juce::Drawable>, 3> formatIcons;
    std::array<std::unique_ptr<juce::Drawable>, 5> buttonIcons;
    std::unique_ptr<juce::Drawable> logo;
    std::unique_ptr<juce::Drawable> changelogIcon;

    juce::URL productPageUrl;
    juce::URL manualUrl;
    juce::File settingsFolder;

    bool uninstallMode = false;
    bool installFinished = false;
    std::array<bool, 3> formatSelected {};
    std::array<juce::File, 3> installFolders;

    std::vector<InstallEngine::FormatResult> formatResults;
    std::unique_ptr<juce::Drawable> warningIcon;    // the result view's picture when a format failed
    bool showingFailureReason = false;              // the hint line shows why or a note, until a button is touched

    juce::Image headerLayer;                        // the header band, drawn once per size

    std::unique_ptr<KeyboardNavigation> keyboard;   // Tab order, Space and Return, the focus ring

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainComponent)
};
