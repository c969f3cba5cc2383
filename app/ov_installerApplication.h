#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include "app/SquareContentConstrainer.h"
#include "ui/XEventQueueWatcher.h"

//==============================================================================
/** The installer application: one square, resizable window holding the main screen.
    Every start runs its own independent installer. */
class ov_installerApplication : public juce::JUCEApplication
{
public:
    ov_installerApplication() = default;
    ~ov_installerApplication() override;

    const juce::String getApplicationName() override;
    const juce::String getApplicationVersion() override;
    bool moreThanOneInstanceAllowed() override;

    void initialise (const juce::String& commandLine) override;
    void shutdown() override;

    void anotherInstanceStarted (const juce::String& commandLine) override;
    void systemRequestedQuit() override;

    //==============================================================================
    class MainWindow : public juce::DocumentWindow
    {
    public:
        explicit MainWindow (const juce::String& name);
        ~MainWindow() override;

        void closeButtonPressed() override;
        void resized() override;
        int getDesktopWindowStyleFlags() const override;

    private:
        void squareUp();

        // The last size that was not square and was corrected, and the square it was
        // corrected to: when the window manager puts that same size back, it insists on it.
        juce::Point<int> correctedFrom;
        int correctedTo = 0;

       #if JUCE_WINDOWS
        // Windows adds its frame to the bounds it asks about; this keeps the content square.
        SquareContentConstrainer squareContent { *this };
       #endif

        JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainWindow)
    };

private:
    std::unique_ptr<MainWindow> mainWindow;
    std::unique_ptr<XEventQueueWatcher> xEventQueueWatcher;    // follows the window: declared after it, so deleted first
};
