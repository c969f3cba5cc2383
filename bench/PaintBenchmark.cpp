// The cost of one full painting of the main screen, status detection included, against a
// baseline of the same number of stock buttons and a label drawn by the framework's own look.
//
//   ov_paint_benchmark [paintings]

#include "ui/MainComponent.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace
{
    /** Ten stock buttons and a label where the main screen has its ten buttons and hint line. */
    class StockScreen : public juce::Component
    {
    public:
        StockScreen()
        {
            setLookAndFeel (&lookAndFeel);

            for (int i = 0; i < 10; ++i)
                addAndMakeVisible (buttons.add (std::make_unique<juce::TextButton> ("BUTTON " + juce::String (i))));

            label.setText ("Click to read End-User License Agreement", juce::dontSendNotification);
            addAndMakeVisible (label);
        }

        ~StockScreen() override
        {
            setLookAndFeel (nullptr);
        }

        void paint (juce::Graphics& g) override
        {
            g.fillAll (lookAndFeel.findColour (juce::ResizableWindow::backgroundColourId));
        }

        void resized() override
        {
            const auto s = (float) getWidth() * 0.01f;
            const juce::Rectangle<float> places[] {
                { 4, 73.5f, 10, 10 }, { 15.5f, 73.5f, 10, 10 }, { 27, 73.5f, 10, 10 }, { 38.5f, 73.5f, 10, 10 },
                { 50, 73.5f, 10, 10 }, { 86, 73.5f, 10, 10 }, { 77, 22, 19, 5 }, { 4, 30, 45, 10 },
                { 51, 30, 45, 10 }, { 4, 42, 45, 10 }
            };

            for (int i = 0; i < buttons.size(); ++i)
                buttons[i]->setBounds ((places[i] * s).toNearestInt());

            label.setBounds (juce::Rectangle<float> (4, 90, 92, 3).operator* (s).toNearestInt());
        }

    private:
        juce::LookAndFeel_V4 lookAndFeel;
        juce::OwnedArray<juce::TextButton> buttons;
        juce::Label label;
    };

    double paintOnce (juce::Component& component, juce::Image& image)
    {
        juce::Graphics g (image);
        const auto start = juce::Time::getHighResolutionTicks();
        component.paintEntireComponent (g, true);
        return juce::Time::highResolutionTicksToSeconds (juce::Time::getHighResolutionTicks() - start) * 1e6;
    }

    double median (std::vector<double> times)
    {
        std::sort (times.begin(), times.end());
        return times[times.size() / 2];
    }

    /** The median painting of each, the two painted in turn, so that whatever else the machine
        does at a moment slows both alike. */
    std::pair<double, double> medianMicroseconds (juce::Component& ours, juce::Component& baseline,
                                                  int size, int paintings, juce::Image::PixelFormat format)
    {
        ours.setSize (size, size);
        baseline.setSize (size, size);
        juce::Image oursImage (format, size, size, true), baselineImage (format, size, size, true);
        std::vector<double> oursTimes, baselineTimes;

        for (int i = 0; i < paintings; ++i)
        {
            oursTimes.push_back (paintOnce (ours, oursImage));
            baselineTimes.push_back (paintOnce (baseline, baselineImage));
        }

        return { median (oursTimes), median (baselineTimes) };
    }
}

int main (int argc, char** argv)
{
    const juce::ScopedJuceInitialiser_GUI juce;
    const int paintings = argc > 1 ? juce::jmax (3, juce::String (argv[1]).getIntValue()) : 200;

    // A prefix of its own with VST3 outdated, CLAP current and AAX absent would need the test
    // data; the installed state here is whatever the current prefix holds.
    MainComponent main;
    StockScreen stock;

    std::printf ("one full painting, median of %d, the two painted in turn:\n", paintings);

    // The X11 window paints into an ARGB image; an opaque Windows window into an RGB one.
    for (const auto& [format, formatName] : { std::pair (juce::Image::ARGB, "ARGB"), std::pair (juce::Image::RGB, "RGB") })
    {
        for (const auto size : { 600, 1200 })
        {
            const auto [ours, baseline] = medianMicroseconds (main, stock, size, paintings, format);
            std::printf ("  %s %4d px: main screen %7.0f us, stock baseline %7.0f us, ratio %.2f (target <= 1.5)\n",
                         formatName, size, ours, baseline, ours / baseline);
        }
    }

    return 0;
}
