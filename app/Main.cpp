#include "app/ov_installerApplication.h"

START_JUCE_APPLICATION (ov_installerApplication)
