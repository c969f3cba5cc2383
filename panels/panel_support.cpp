#include "panels/panel_support.h"

panel_support::panel_support (juce::File, juce::String, juce::String) {}

panel_support::~panel_support() = default;

void panel_support::buttonClicked (juce::Button*) {}
