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
    bool stranded = false;
    std::vector<int> queuedAtTicks;
    Steps steps;

    steps.add (300, [&] { hidden.strandMessage(); queuedAfterRoundTrip = hidden.queuedEvents(); stranded = true; });
    // Only if the ticks stopped coming: the test then fails below instead of hanging.
    steps.add (10000, [] {});

    // Counted in the window's refresh ticks, which the watcher follows, rather than in
    // milliseconds, which a loaded machine stretches.
    const juce::VBlankAttachment ticks (&window, [&]
    {
        if (! stranded || queuedAtTicks.size() == 5)
            return;

        queuedAtTicks.push_back (hidden.queuedEvents());

        if (queuedAtTicks.size() == 5)
            juce::MessageManager::getInstance()->stopDispatchLoop();
    });

    steps.run();

    EXPECT_GE (queuedAfterRoundTrip, 1) << "the round trip left nothing in the queue";
    ASSERT_EQ (queuedAtTicks.size(), 5u) << "the window's refresh ticks stopped";
    EXPECT_EQ (queuedAtTicks.back(), 0) << "the message was still queued five refresh ticks after it was read";
}

#endif
