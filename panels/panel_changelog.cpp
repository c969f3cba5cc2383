#include "panels/panel_changelog.h"

panel_changelog::panel_changelog (juce::String, juce::String) {}

panel_changelog::~panel_changelog() = default;

void panel_changelog::buttonClicked (juce::Button*) {}
