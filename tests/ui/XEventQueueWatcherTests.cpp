#include <gtest/gtest.h>

#include <juce_core/system/juce_TargetPlatform.h>

#if JUCE_LINUX || JUCE_BSD
 #define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#endif

#include <juce_gui_basics/juce_gui_basics.h>

#include "ui/XEventQueueWatcher.h"

#if JUCE_LINUX || JUCE_BSD

namespace
{
    /** Runs the steps on the message loop one after the other, each after its delay. */
    class Steps final : private juce::Timer
    {
    public:
        void add (int delayMs, std::function<void()> step)  { steps.push_back ({ delayMs, std::move (step) }); }

        void run()
        {
            startTimer (steps.front().first);
            juce::MessageManager::getInstance()->runDispatchLoop();
        }

    private:
        void timerCallback() override
        {
            stopTimer();
            auto step = std::move (steps.front().second);
            steps.erase (steps.begin());
            step();

            if (steps.empty())
                juce::MessageManager::getInstance()->stopDispatchLoop();
            else
                startTimer (steps.front().first);
        }

        std::vector<std::pair<int, std::function<void()>>> steps;
    };

    /** An unmapped window of the framework's own connection, to which the server delivers
        events sent with no mask. */
    class HiddenXWindow
    {
    public:
        HiddenXWindow()
        {
            const juce::XWindowSystemUtilities::ScopedXLock lock;
            auto* x11 = juce::X11Symbols::getInstance();
            handle = x11->xCreateWindow (display, x11->xRootWindow (display, x11->xDefaultScreen (display)),
                                         0, 0, 1, 1, 0, CopyFromParent, InputOnly, nullptr, 0, nullptr);
        }

        ~HiddenXWindow()
        {
            const juce::XWindowSystemUtilities::ScopedXLock lock;
            juce::X11Symbols::getInstance()->xDestroyWindow (display, handle);
        }

        /** Sends the window a message through the server and waits for a reply after it, as a
            paint's wait for completion does: the message ends up read into the display's queue. */
        void strandMessage() const
        {
            const juce::XWindowSystemUtilities::ScopedXLock lock;
            auto* x11 = juce::X11Symbols::getInstance();
            XEvent event {};
            event.xclient.type = ClientMessage;
            event.xclient.display = display;
            event.xclient.window = handle;
            event.xclient.message_type = x11->xInternAtom (display, "OV_TEST_MESSAGE", False);
            event.xclient.format = 32;

            x11->xSendEvent (display, handle, False, NoEventMask, &event);
            x11->xSync (display, False);
        }

        int queuedEvents() const
        {
            const juce::XWindowSystemUtilities::ScopedXLock lock;
            return juce::X11Symbols::getInstance()->xEventsQueued (display, QueuedAlready);
        }

    private:
        ::Display* const display = juce::XWindowSystem::getInstance()->getDisplay();
        ::Window handle = 0;

        JUCE_DECLARE_NON_COPYABLE (HiddenXWindow)
    };
}

// One message loop per process: this test runs in its own, as every test here does under ctest.
TEST (XEventQueueWatcher, HandsOnEventsThatARoundTripReadFromTheConnection)
{
    ASSERT_NE (juce::XWindowSystem::getInstance()->getDisplay(), nullptr) << "no X display";

    const HiddenXWindow window;
    std::unique_ptr<XEventQueueWatcher> watcher;
    int queuedAfterRoundTrip = 0, queuedWithoutWatcher = 0;
    Steps steps;

    steps.add (100, [&] { window.strandMessage(); queuedAfterRoundTrip = window.queuedEvents(); });
    // The framework waits for the connection to become readable, which it no longer does.
    steps.add (400, [&] { queuedWithoutWatcher = window.queuedEvents(); watcher = std::make_unique<XEventQueueWatcher>(); });
    steps.add (200, [] {});
    steps.run();

    EXPECT_GE (queuedAfterRoundTrip, 1) << "the round trip left nothing in the queue";
    EXPECT_GE (queuedWithoutWatcher, 1) << "the framework took the queued message by itself";
    EXPECT_EQ (window.queuedEvents(), 0) << "the watcher left the message in the queue";
}

#endif
