#include "panels/panel_eula.h"

panel_eula::panel_eula (juce::String) {}

panel_eula::~panel_eula() = default;

void panel_eula::buttonClicked (juce::Button*) {}
