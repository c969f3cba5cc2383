#pragma once

/* <windows.h> as every file of the program includes it: without the min and max macros, which
   would break std::min and juce::jmin after it, and without the rarely used parts that only
   slow the compiling down. Include it where JUCE_WINDOWS is set. */

#ifndef NOMINMAX
 #define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
 #define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
