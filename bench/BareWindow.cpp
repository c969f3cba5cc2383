// The smallest windowed application the framework makes: one square window with a plain
// content component, no timers of its own. The idle benchmark measures it beside the
// installer as the floor of what a window costs while nothing happens.
//
//   ov_bare_window

#include <juce_gui_basics/juce_gui_basics.h>

namespace
{
    class PlainContent final : public juce::Component
    {
    public:
        PlainContent()                              { setSize (600, 600); }
        void paint (juce::Graphics& g) override     { g.fillAll (juce::Colours::darkgrey); }
    };

    class BareWindowApplication final : public juce::JUCEApplication
    {
    public:
        const juce::String getApplicationName() override      { return "ov_bare_window"; }
        const juce::String getApplicationVersion() override   { return "1.0"; }
        bool moreThanOneInstanceAllowed() override            { return true; }

        void initialise (const juce::String&) override
        {
            window = std::make_unique<Window>();
        }

        void shutdown() override
        {
            window = nullptr;
        }

    private:
        class Window final : public juce::DocumentWindow
        {
        public:
            Window()
                : DocumentWindow ("ov_bare_window", juce::Colours::black, DocumentWindow::allButtons)
            {
                setUsingNativeTitleBar (true);
                setContentOwned (new PlainContent(), true);
                setResizable (true, true);
                centreWithSize (getWidth(), getHeight());
                setVisible (true);
            }

            void closeButtonPressed() override
            {
                juce::JUCEApplication::getInstance()->systemRequestedQuit();
            }
        };

        std::unique_ptr<Window> window;
    };
}

START_JUCE_APPLICATION (BareWindowApplication)
