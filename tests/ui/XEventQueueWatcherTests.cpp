#include <gtest/gtest.h>

#include <juce_core/system/juce_TargetPlatform.h>

#if JUCE_LINUX || JUCE_BSD
 #define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#endif

#include <juce_gui_basics/juce_gui_basics.h>

#include "ui/XEventQueueWatcher.h"
#include "ui/TestWindowManager.h"

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

    /** A framework window on the desktop, whose refresh tick the watcher follows. */
    class DesktopWindow : public juce::Component
    {
    public:
        DesktopWindow()
        {
            setBounds (0, 0, 64, 64);
            addToDesktop (juce::ComponentPeer::windowHasTitleBar);
            setVisible (true);
        }

        ~DesktopWindow() override
        {
            removeFromDesktop();
        }
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
    const TestWindowManager windowManager;
    ASSERT_TRUE (TestWindowManager::isRunning()) << "no window manager";
    ASSERT_NE (juce::XWindowSystem::getInstance()->getDisplay(), nullptr) << "no X display";

    DesktopWindow window;

    const HiddenXWindow hidden;
    std::unique_ptr<XEventQueueWatcher> watcher;
    int queuedAfterRoundTrip = 0, queuedWithoutWatcher = 0;
    Steps steps;

    // The window's first paintings and their completions are over by the time of the round trip.
    steps.add (300, [&] { hidden.strandMessage(); queuedAfterRoundTrip = hidden.queuedEvents(); });
    // The framework waits for the connection to become readable, which it no longer does.
    steps.add (400, [&] { queuedWithoutWatcher = hidden.queuedEvents(); watcher = std::make_unique<XEventQueueWatcher> (window); });
    steps.add (200, [] {});
    steps.run();

    EXPECT_GE (queuedAfterRoundTrip, 1) << "the round trip left nothing in the queue";
    EXPECT_GE (queuedWithoutWatcher, 1) << "the framework took the queued message by itself";
    EXPECT_EQ (hidden.queuedEvents(), 0) << "the watcher left the message in the queue";
}

TEST (XEventQueueWatcher, AStrandedEventIsHandedOnWithinAFewRefreshTicks)
{
    const TestWindowManager windowManager;
    ASSERT_TRUE (TestWindowManager::isRunning()) << "no window manager";
    ASSERT_NE (juce::XWindowSystem::getInstance()->getDisplay(), nullptr) << "no X display";

    DesktopWindow window;

    const HiddenXWindow hidden;
    const XEventQueueWatcher watcher (window);
    int queuedAfterRoundTrip = 0;
    std::vector<int> queuedLater;
    Steps steps;

    steps.add (300, [&] { hidden.strandMessage(); queuedAfterRoundTrip = hidden.queuedEvents(); });

    // Looked at every 20 ms: the message must be gone well before a person would notice.
    for (int i = 0; i < 5; ++i)
        steps.add (20, [&] { queuedLater.push_back (hidden.queuedEvents()); });

    steps.run();

    EXPECT_GE (queuedAfterRoundTrip, 1) << "the round trip left nothing in the queue";
    ASSERT_EQ (queuedLater.size(), 5u);
    EXPECT_EQ (queuedLater.back(), 0) << "the message was still queued 100 ms after it was read";
}

#endif
