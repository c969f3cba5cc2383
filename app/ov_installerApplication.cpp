#include "app/ov_installerApplication.h"
#include "core/ProductDefinition.h"
#include "ui/MainComponent.h"

#include <BinaryData.h>

ov_installerApplication::~ov_installerApplication()
{
    xEventQueueWatcher = nullptr;
    mainWindow = nullptr;
}

const juce::String ov_installerApplication::getApplicationName()     { return ProductDefinition::applicationName; }
const juce::String ov_installerApplication::getApplicationVersion()  { return ProductDefinition::installerVersion; }
bool ov_installerApplication::moreThanOneInstanceAllowed()           { return true; }

void ov_installerApplication::initialise (const juce::String&)
{
    mainWindow = std::make_unique<MainWindow> (getApplicationName());
    xEventQueueWatcher = std::make_unique<XEventQueueWatcher> (*mainWindow);
}

void ov_installerApplication::shutdown()
{
    xEventQueueWatcher = nullptr;
    mainWindow = nullptr;
}

void ov_installerApplication::anotherInstanceStarted (const juce::String&)
{
}

void ov_installerApplication::systemRequestedQuit()
{
    quit();
}

//==============================================================================
ov_installerApplication::MainWindow::MainWindow (const juce::String& name)
    : DocumentWindow (name,
                      juce::Desktop::getInstance().getDefaultLookAndFeel()
                          .findColour (juce::ResizableWindow::backgroundColourId),
                      DocumentWindow::allButtons)
{
    setUsingNativeTitleBar (true);
    setContentOwned (new MainComponent(), true);
    setResizable (true, true);
    getConstrainer()->setFixedAspectRatio (1.0);
    centreWithSize (getWidth(), getHeight());

   #if ! JUCE_WINDOWS
    // Windows takes the window's icon from the executable; elsewhere it is set here.
    setIcon (juce::ImageCache::getFromMemory (BinaryData::ov_installer_icon_png,
                                              BinaryData::ov_installer_icon_pngSize));
   #endif

    setVisible (true);
}

// Window managers on Linux are told only the minimum and maximum size, not the aspect
// ratio, so a size they choose is brought back to a square. The smaller side is kept, which
// always fits where the window manager has just placed the window. The correction waits for
// the message loop: a size set while the window system's own resize is being handled is
// not passed on to the window.
void ov_installerApplication::MainWindow::resized()
{
    DocumentWindow::resized();

    // While the constructor assembles the window its sizes pass through other shapes.
    if (! isVisible() || getWidth() == getHeight())
        return;

    juce::MessageManager::callAsync ([safeThis = juce::Component::SafePointer<MainWindow> (this)]
    {
        if (safeThis != nullptr && safeThis->getWidth() != safeThis->getHeight())
        {
            const auto side = juce::jmin (safeThis->getWidth(), safeThis->getHeight());
            safeThis->setSize (side, side);
        }
    });
}

void ov_installerApplication::MainWindow::closeButtonPressed()
{
    juce::JUCEApplication::getInstance()->systemRequestedQuit();
}
