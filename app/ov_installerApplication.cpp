#include "app/ov_installerApplication.h"
#include "core/ProductDefinition.h"
#include "ui/MainComponent.h"

#include <BinaryData.h>

#include <cstdio>

#if JUCE_WINDOWS
 #include "core/WindowsHeaders.h"

namespace
{
    /** Wine's ntdll exports wine_get_version; Windows' own does not. */
    bool isRunningUnderWine()
    {
        const auto ntdll = GetModuleHandleW (L"ntdll.dll");
        return ntdll != nullptr && GetProcAddress (ntdll, "wine_get_version") != nullptr;
    }
}
#endif

namespace
{
    bool hasNoDisplay()
    {
       #if JUCE_WINDOWS
        // Wine without an X display gives the program a display-less desktop that never
        // shows a window, so there the X display itself is asked for.
        if (isRunningUnderWine())
            return juce::SystemStats::getEnvironmentVariable ("DISPLAY", {}).isEmpty();
       #endif

        return juce::Desktop::getInstance().getDisplays().getPrimaryDisplay() == nullptr;
    }
}

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
    // With no display to show it on, the framework cannot place the window and would crash.
    if (hasNoDisplay())
    {
        std::fputs ("ov_installer: there is no display to open the window on "
                    "(the commands need none: ov_installer --help)\n", stderr);
        setApplicationReturnValue (1);
        quit();
        return;
    }

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

   #if JUCE_WINDOWS
    setConstrainer (&squareContent);
   #else
    getConstrainer()->setFixedAspectRatio (1.0);
   #endif

    centreWithSize (getWidth(), getHeight());

   #if ! JUCE_WINDOWS
    // Windows takes the window's icon from the executable; elsewhere it is set here.
    setIcon (juce::ImageCache::getFromMemory (BinaryData::ov_installer_icon_png,
                                              BinaryData::ov_installer_icon_pngSize));
   #endif

    setVisible (true);

   #if JUCE_WINDOWS
    // Wine presents Direct2D windows as solid black, as it stubs composition swap chains; the
    // framework's software renderer draws correctly there. Windows keeps the default.
    if (auto* peer = getPeer(); peer != nullptr && isRunningUnderWine())
        peer->setCurrentRenderingEngine (peer->getAvailableRenderingEngines().indexOf ("Software Renderer"));
   #endif
}

ov_installerApplication::MainWindow::~MainWindow()
{
    // The native window may ask its constrainer about its last moves, and on Windows that is
    // a member of this class, gone before the framework's own destructors run.
    removeFromDesktop();
}

// Window managers on Linux are told only the minimum and maximum size, not the aspect
// ratio, so a size they choose is brought back to a square. The smaller side is kept, which
// always fits where the window manager has just placed the window. The correction waits for
// the message loop: a size set while the window system's own resize is being handled is
// not passed on to the window.
//
// A window manager may impose its size (maximised, full screen, tiled) and put it back after
// the correction. Correcting again would go on for ever, so a size that comes back after its
// one correction is kept, and the window stays as placed.
void ov_installerApplication::MainWindow::resized()
{
    DocumentWindow::resized();

    // On Windows the system applies the aspect ratio while the user drags. A correction
    // there would never settle: the window's height counts the native title bar, so each
    // square came back a title bar lower and the window shrank step by step.
   #if ! JUCE_WINDOWS
    // While the constructor assembles the window its sizes pass through other shapes.
    if (! isVisible())
        return;

    if (getWidth() == getHeight())
    {
        // A square of someone else's choosing ends the insisting; our own correction does not.
        if (getWidth() != correctedTo)
            correctedFrom = {};

        return;
    }

    const juce::Point<int> size (getWidth(), getHeight());

    if (size == correctedFrom)
        return;

    correctedFrom = size;

    juce::MessageManager::callAsync ([safeThis = juce::Component::SafePointer<MainWindow> (this)]
    {
        if (safeThis != nullptr)
            safeThis->squareUp();
    });
   #endif
}

void ov_installerApplication::MainWindow::squareUp()
{
    if (getWidth() == getHeight())
        return;

    correctedTo = juce::jmin (getWidth(), getHeight());
    setSize (correctedTo, correctedTo);
}

// The framework lets the window manager resize a window only on systems where it can
// resize borderless windows itself, which on Linux it cannot; with a native title bar the
// manager then offers neither its resize borders nor maximise. This window is always
// resizable, so the manager is told so from the first native window on: asking only once
// setResizable has run would make the framework build the native window once more.
int ov_installerApplication::MainWindow::getDesktopWindowStyleFlags() const
{
    auto style = DocumentWindow::getDesktopWindowStyleFlags();

   #if JUCE_LINUX || JUCE_BSD
    if (isUsingNativeTitleBar())
        style |= juce::ComponentPeer::windowIsResizable;
   #endif

    return style;
}

void ov_installerApplication::MainWindow::closeButtonPressed()
{
    juce::JUCEApplication::getInstance()->systemRequestedQuit();
}
