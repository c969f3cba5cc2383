#include <juce_core/system/juce_TargetPlatform.h>

#if JUCE_LINUX || JUCE_BSD
 // Brings in the framework's own X declarations, so that the queue is read through the same
 // dynamically loaded library and under the same lock as the framework reads it.
 #define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#endif

#include "ui/XEventQueueWatcher.h"

#include <juce_gui_basics/juce_gui_basics.h>

#if JUCE_LINUX || JUCE_BSD
 #include <juce_events/native/juce_EventLoopInternal_linux.h>
#endif

XEventQueueWatcher::XEventQueueWatcher (juce::Component& window)
{
   #if JUCE_LINUX || JUCE_BSD
    refreshTick = std::make_unique<juce::VBlankAttachment> (&window, [] { dispatchQueuedEvents(); });
   #else
    juce::ignoreUnused (window);
   #endif
}

XEventQueueWatcher::~XEventQueueWatcher() = default;

void XEventQueueWatcher::dispatchQueuedEvents()
{
   #if JUCE_LINUX || JUCE_BSD
    auto* windowSystem = juce::XWindowSystem::getInstanceWithoutCreating();

    if (windowSystem == nullptr || windowSystem->getDisplay() == nullptr)
        return;

    auto* display = windowSystem->getDisplay();
    auto* x11 = juce::X11Symbols::getInstance();
    int queued = 0;
    int connection = -1;

    {
        const juce::XWindowSystemUtilities::ScopedXLock lock;

        // QueuedAlready neither reads nor writes the connection.
        queued = x11->xEventsQueued (display, QueuedAlready);
        connection = x11->xConnectionNumber (display);
    }

    // The framework's own handler, which takes events until the queue is empty.
    if (queued > 0)
        juce::LinuxEventLoopInternal::invokeEventLoopCallbackForFd (connection);
   #endif
}
