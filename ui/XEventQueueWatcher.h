#pragma once

#include <juce_events/juce_events.h>

//==============================================================================
/** Hands the framework the X events that sit read but unhandled in the display's queue.

    The framework's run loop waits on the X connection alone, and its handler empties the
    queue only when the connection has something to read. A request made elsewhere, such as
    waiting for a shared-memory paint to complete, reads every event that has arrived along
    with the one it wants, and these then lie unhandled until the server sends something
    more: a click's release would wait for the next mouse move. Polling the queue, which
    costs a look at memory, hands them on within a few milliseconds.

    Does nothing on systems without X.
*/
class XEventQueueWatcher final : private juce::Timer
{
public:
    XEventQueueWatcher();
    ~XEventQueueWatcher() override;

    /** Hands on any events already read; the timer calls this, and tests may too. */
    static void dispatchQueuedEvents();

private:
    void timerCallback() override;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (XEventQueueWatcher)
};
