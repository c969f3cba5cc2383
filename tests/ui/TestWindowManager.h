#pragma once

#include <juce_core/juce_core.h>

//==============================================================================
/** A window manager for the test's display unless one runs already: the framework's
    windows rely on properties that only a window manager creates. It must be up before
    the framework first opens the display, which is when it looks those properties up. */
class TestWindowManager
{
public:
    TestWindowManager()
    {
        // openbox exits at once while another manager still runs, as one that a test
        // before this one started may do for a moment; it is then started again.
        const auto deadline = juce::Time::getMillisecondCounter() + 30000;

        while (! isRunning() && juce::Time::getMillisecondCounter() < deadline)
        {
            if (! process.isRunning())
                process.start ("openbox --sm-disable", 0);

            juce::Thread::sleep (100);
        }
    }

    ~TestWindowManager()
    {
        if (process.isRunning())
            process.kill();
    }

    static bool isRunning()
    {
        juce::ChildProcess query;
        return query.start ("wmctrl -m", 0) && query.waitForProcessToFinish (5000) && query.getExitCode() == 0;
    }

private:
    juce::ChildProcess process;

    JUCE_DECLARE_NON_COPYABLE (TestWindowManager)
};
