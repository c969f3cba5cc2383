#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

//==============================================================================
/** Hands the framework the X events that sit read but unhandled in the display's queue.

    The framework's run loop waits on the X connection alone, and its handler empties the
    queue only when the connection has something to read. A request made elsewhere, such as
    the check for a shared-memory paint's completion, reads every event that has arrived along
    with the one it wants, and these then lie unhandled until the server sends something
    more: a click's release would wait for the next mouse move.

    Those requests are made when the window paints, and the window paints on the framework's
    display-refresh tick. So the queue is looked at on that same tick, just before the next
    painting: a look at memory on a wake-up the framework makes anyway. The watcher adds no
    timer and no wake-up of its own.

    Does nothing on systems without X.
*/
class XEventQueueWatcher final
{
public:
    /** Follows the refresh tick of the window the component is on. */
    explicit XEventQueueWatcher (juce::Component& window);
    ~XEventQueueWatcher();

    /** Hands on any events already read; the refresh tick calls this, and tests may too. */
    static void dispatchQueuedEvents();

private:
    std::unique_ptr<juce::VBlankAttachment> refreshTick;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (XEventQueueWatcher)
};
