/*
 * Kelvara 2 plug-in module, as carried inside the installer's payload archives.
 *
 * The installer only copies this module into place and reads its version
 * resource; it never loads it. The module is still a working 64-bit Windows DLL:
 * a small stereo tone shaper (tilt equaliser, drive and soft clipping, output
 * trim) behind a plain C interface of our own. The same source is built three
 * times, once per plug-in format, and each build exports its own set of entry
 * functions:
 *
 *   KV_FORMAT_VST3  KvGetModuleFactory, KvModuleEnter, KvModuleLeave
 *   KV_FORMAT_CLAP  kv_clap_module_open, kv_clap_module_close, kv_clap_module_describe
 *   KV_FORMAT_AAX   KvAaxDescribeModule, KvAaxCreateInstance, KvAaxReleaseInstance
 *
 * Build (see tools/make_payloads.sh):
 *   x86_64-w64-mingw32-gcc -shared -O2 -DKV_FORMAT_VST3 kelvara_module.c ...
 * Only kernel32 and msvcrt are needed at run time.
 */

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <stdlib.h>
#include <string.h>

#if defined(KV_FORMAT_VST3)
#define KV_FORMAT_NAME "VST3"
#elif defined(KV_FORMAT_CLAP)
#define KV_FORMAT_NAME "CLAP"
#elif defined(KV_FORMAT_AAX)
#define KV_FORMAT_NAME "AAX"
#else
#error "define one of KV_FORMAT_VST3, KV_FORMAT_CLAP or KV_FORMAT_AAX"
#endif

#define KV_EXPORT __declspec(dllexport)

#define KV_PRODUCT_NAME "Kelvara 2"
#define KV_VENDOR_NAME "Orvanta"
#define KV_VERSION_TEXT "2.4.3"
#define KV_VERSION_CODE ((2u << 24) | (4u << 16) | (3u << 8))
#define KV_INTERFACE_REVISION 3u

#define KV_MAX_CHANNELS 2
#define KV_SINE_TABLE_SIZE 2048
#define KV_PI 3.14159265358979323846

/* ---------------------------------------------------------------- parameters */

typedef enum KvParamId {
    KV_PARAM_DRIVE = 0,
    KV_PARAM_TILT,
    KV_PARAM_PIVOT,
    KV_PARAM_CHARACTER,
    KV_PARAM_MIX,
    KV_PARAM_OUTPUT,
    KV_PARAM_BYPASS,
    KV_PARAM_COUNT
} KvParamId;

typedef struct KvParamInfo {
    unsigned id;
    const char* name;
    const char* shortName;
    const char* unit;
    double minimum;
    double maximum;
    double defaultValue;
    unsigned steps; /* 0 for continuous parameters */
} KvParamInfo;

static const KvParamInfo kvParams[KV_PARAM_COUNT] = {
    { KV_PARAM_DRIVE,     "Drive",        "Drv",  "dB", 0.0,    24.0,    0.0,    0 },
    { KV_PARAM_TILT,      "Tilt",         "Tilt", "dB", -12.0,  12.0,    0.0,    0 },
    { KV_PARAM_PIVOT,     "Tilt Pivot",   "Pvt",  "Hz", 200.0,  4000.0,  900.0,  0 },
    { KV_PARAM_CHARACTER, "Character",    "Chr",  "",   0.0,    2.0,     0.0,    2 },
    { KV_PARAM_MIX,       "Mix",          "Mix",  "%",  0.0,    100.0,   100.0,  0 },
    { KV_PARAM_OUTPUT,    "Output",       "Out",  "dB", -24.0,  12.0,    0.0,    0 },
    { KV_PARAM_BYPASS,    "Bypass",       "Byp",  "",   0.0,    1.0,     0.0,    1 },
};

static const char* const kvCharacterNames[3] = { "Clean", "Warm", "Grit" };

typedef struct KvPreset {
    const char* name;
    double values[KV_PARAM_COUNT];
} KvPreset;

static const KvPreset kvPresets[] = {
    { "Init",             { 0.0,  0.0,  900.0,  0.0, 100.0,  0.0, 0.0 } },
    { "Gentle Warmth",    { 4.5,  -1.5, 700.0,  1.0, 100.0, -2.0, 0.0 } },
    { "Bright Lift",      { 1.5,  4.0,  1800.0, 0.0, 100.0, -1.0, 0.0 } },
    { "Tape Edge",        { 9.0,  -2.5, 550.0,  1.0, 80.0,  -4.5, 0.0 } },
    { "Crunch Bus",       { 14.0, 1.5,  1200.0, 2.0, 65.0,  -7.0, 0.0 } },
    { "Dark Room",        { 3.0,  -6.0, 400.0,  1.0, 100.0, 1.5,  0.0 } },
    { "Vocal Presence",   { 2.0,  3.0,  2500.0, 0.0, 100.0, -0.5, 0.0 } },
    { "Parallel Grit",    { 20.0, 2.0,  1500.0, 2.0, 35.0,  -3.0, 0.0 } },
};

#define KV_PRESET_COUNT ((unsigned) (sizeof (kvPresets) / sizeof (kvPresets[0])))

/* ------------------------------------------------------------- module state */

static HINSTANCE kvModuleHandle;
static LONG kvModuleUsers;
static LONG kvLiveInstances;
static float kvSineTable[KV_SINE_TABLE_SIZE + 1];

/* Small maths of our own, so that the module needs nothing beyond msvcrt. */

static double kvSineSeries (double x)
{
    /* x in [-pi, pi]; Taylor series to the 15th power is exact to float precision. */
    double x2 = x * x, term = x, sum = x;
    int n;
    for (n = 1; n <= 7; ++n) {
        term *= -x2 / (double) ((2 * n) * (2 * n + 1));
        sum += term;
    }
    return sum;
}

static void kvBuildSineTable (void)
{
    int i;
    for (i = 0; i <= KV_SINE_TABLE_SIZE; ++i) {
        double phase = (2.0 * KV_PI * i) / KV_SINE_TABLE_SIZE;
        if (phase > KV_PI)
            phase -= 2.0 * KV_PI;
        kvSineTable[i] = (float) kvSineSeries (phase);
    }
}

static float kvSine (double phase01)
{
    double position;
    int index;
    float frac;
    phase01 -= (double) (long long) phase01;
    if (phase01 < 0.0)
        phase01 += 1.0;
    position = phase01 * KV_SINE_TABLE_SIZE;
    index = (int) position;
    frac = (float) (position - index);
    return kvSineTable[index] + frac * (kvSineTable[index + 1] - kvSineTable[index]);
}

static double kvExp (double x)
{
    /* e^x by halving into range and squaring back up. */
    int halvings = 0;
    double term = 1.0, sum = 1.0;
    int n;
    while (x > 0.5 || x < -0.5) {
        x *= 0.5;
        ++halvings;
    }
    for (n = 1; n < 12; ++n) {
        term *= x / n;
        sum += term;
    }
    while (halvings-- > 0)
        sum *= sum;
    return sum;
}

static double kvDecibelsToGain (double decibels)
{
    return kvExp (decibels * 0.11512925464970228); /* ln(10) / 20 */
}

static float kvClamp (float value, float low, float high)
{
    return value < low ? low : (value > high ? high : value);
}

/* ------------------------------------------------------------- signal chain */

typedef struct KvOnePole {
    float coefficient;
    float state[KV_MAX_CHANNELS];
} KvOnePole;

typedef struct KvProcessor {
    unsigned magic;
    double sampleRate;
    unsigned maxBlockSize;
    double values[KV_PARAM_COUNT];
    KvOnePole split;
    float lowGain, highGain;
    float drive, outputGain, mix;
    float smoothedOutput;
    double meterPhase;
    float peak[KV_MAX_CHANNELS];
    unsigned presetIndex;
} KvProcessor;

#define KV_PROCESSOR_MAGIC 0x4B563234u /* "KV24" */

static void kvUpdateCoefficients (KvProcessor* p)
{
    double pivot = p->values[KV_PARAM_PIVOT];
    double tilt = p->values[KV_PARAM_TILT];
    double x;

    /* One-pole low-pass at the pivot: coefficient = 1 - e^(-2 pi f / fs). */
    x = -2.0 * KV_PI * pivot / (p->sampleRate > 0.0 ? p->sampleRate : 48000.0);
    p->split.coefficient = (float) (1.0 - kvExp (x));

    p->lowGain = (float) kvDecibelsToGain (-0.5 * tilt);
    p->highGain = (float) kvDecibelsToGain (0.5 * tilt);
    p->drive = (float) kvDecibelsToGain (p->values[KV_PARAM_DRIVE]);
    p->outputGain = (float) kvDecibelsToGain (p->values[KV_PARAM_OUTPUT]);
    p->mix = (float) (p->values[KV_PARAM_MIX] / 100.0);
}

static float kvShape (float x, int character)
{
    switch (character) {
    case 1: /* warm: asymmetric cubic */
        x = kvClamp (x, -1.5f, 1.5f);
        return x - (x * x * x) / 6.75f + 0.04f * x * x;
    case 2: /* grit: hard knee with a little fold-back */
        if (x > 0.8f)
            return 0.8f + 0.2f * kvSine (0.25 * (x - 0.8f));
        if (x < -0.8f)
            return -0.8f - 0.2f * kvSine (0.25 * (-x - 0.8f));
        return x;
    default: /* clean: rational soft clip */
        return x / (1.0f + (x < 0.0f ? -x : x));
    }
}

static void kvProcess (KvProcessor* p, float** channels, unsigned channelCount, unsigned frames)
{
    unsigned c, i;
    int character = (int) (p->values[KV_PARAM_CHARACTER] + 0.5);
    int bypass = p->values[KV_PARAM_BYPASS] >= 0.5;

    if (channelCount > KV_MAX_CHANNELS)
        channelCount = KV_MAX_CHANNELS;

    for (c = 0; c < channelCount; ++c) {
        float* data = channels[c];
        float state = p->split.state[c];
        float smoothed = p->smoothedOutput;
        float peak = 0.0f;

        for (i = 0; i < frames; ++i) {
            float dry = data[i];
            float low, high, wet, out;

            state += p->split.coefficient * (dry - state);
            low = state;
            high = dry - low;

            wet = kvShape ((low * p->lowGain + high * p->highGain) * p->drive, character);
            smoothed += 0.002f * (p->outputGain - smoothed);
            out = bypass ? dry : (dry + p->mix * (wet - dry)) * smoothed;

            data[i] = out;
            if (out < 0.0f)
                out = -out;
            if (out > peak)
                peak = out;
        }

        p->split.state[c] = state;
        if (c + 1 == channelCount)
            p->smoothedOutput = smoothed;
        p->peak[c] = peak > p->peak[c] * 0.95f ? peak : p->peak[c] * 0.95f;
    }

    p->meterPhase += (double) frames / (p->sampleRate > 0.0 ? p->sampleRate : 48000.0);
}

static KvProcessor* kvCreateProcessor (double sampleRate, unsigned maxBlockSize)
{
    KvProcessor* p = (KvProcessor*) calloc (1, sizeof (KvProcessor));
    unsigned i;

    if (p == NULL)
        return NULL;

    p->magic = KV_PROCESSOR_MAGIC;
    p->sampleRate = sampleRate;
    p->maxBlockSize = maxBlockSize;
    for (i = 0; i < KV_PARAM_COUNT; ++i)
        p->values[i] = kvParams[i].defaultValue;
    kvUpdateCoefficients (p);
    p->smoothedOutput = p->outputGain;
    InterlockedIncrement (&kvLiveInstances);
    return p;
}

static void kvDestroyProcessor (KvProcessor* p)
{
    if (p == NULL || p->magic != KV_PROCESSOR_MAGIC)
        return;
    p->magic = 0;
    free (p);
    InterlockedDecrement (&kvLiveInstances);
}

static int kvSetParameter (KvProcessor* p, unsigned id, double value)
{
    const KvParamInfo* info;

    if (p == NULL || p->magic != KV_PROCESSOR_MAGIC || id >= KV_PARAM_COUNT)
        return 0;

    info = &kvParams[id];
    if (value < info->minimum)
        value = info->minimum;
    if (value > info->maximum)
        value = info->maximum;
    if (info->steps > 0) {
        double step = (info->maximum - info->minimum) / info->steps;
        value = info->minimum + step * (double) (long long) ((value - info->minimum) / step + 0.5);
    }
    p->values[id] = value;
    kvUpdateCoefficients (p);
    return 1;
}

static int kvLoadPreset (KvProcessor* p, unsigned index)
{
    unsigned i;
    if (p == NULL || p->magic != KV_PROCESSOR_MAGIC || index >= KV_PRESET_COUNT)
        return 0;
    for (i = 0; i < KV_PARAM_COUNT; ++i)
        p->values[i] = kvPresets[index].values[i];
    p->presetIndex = index;
    kvUpdateCoefficients (p);
    return 1;
}

/* Writes "Name: value unit" into text; returns the length written. */
static int kvFormatParameter (const KvProcessor* p, unsigned id, char* text, size_t capacity)
{
    const KvParamInfo* info;
    double value;
    long long scaled;
    char digits[32];
    int length = 0, d = 0, negative;

    if (p == NULL || id >= KV_PARAM_COUNT || text == NULL || capacity < 2)
        return 0;

    info = &kvParams[id];
    value = p->values[id];

    if (id == KV_PARAM_CHARACTER) {
        const char* name = kvCharacterNames[(int) (value + 0.5) % 3];
        length = (int) strlen (name);
        if ((size_t) length >= capacity)
            length = (int) capacity - 1;
        memcpy (text, name, (size_t) length);
        text[length] = '\0';
        return length;
    }
    if (id == KV_PARAM_BYPASS) {
        const char* name = value >= 0.5 ? "On" : "Off";
        length = (int) strlen (name);
        memcpy (text, name, (size_t) length + 1);
        return length;
    }

    /* One decimal place, formatted by hand. */
    negative = value < 0.0;
    scaled = (long long) ((negative ? -value : value) * 10.0 + 0.5);
    do {
        digits[d++] = (char) ('0' + scaled % 10);
        scaled /= 10;
        if (d == 1)
            digits[d++] = '.';
    } while (scaled > 0 || d < 3);

    if (negative && (size_t) length + 1 < capacity)
        text[length++] = '-';
    while (d > 0 && (size_t) length + 1 < capacity)
        text[length++] = digits[--d];
    if (info->unit[0] != '\0' && (size_t) length + 1 < capacity)
        text[length++] = ' ';
    for (d = 0; info->unit[d] != '\0' && (size_t) length + 1 < capacity; ++d)
        text[length++] = info->unit[d];
    text[length] = '\0';
    return length;
}

/* --------------------------------------------------- interface of our own */

typedef struct KvModuleDescriptor {
    unsigned structSize;
    unsigned interfaceRevision;
    unsigned versionCode;
    const char* productName;
    const char* vendorName;
    const char* versionText;
    const char* formatName;
    const char* classId;
    unsigned parameterCount;
    const KvParamInfo* parameters;
    unsigned presetCount;
    const KvPreset* presets;
} KvModuleDescriptor;

typedef struct KvProcessorInterface {
    unsigned structSize;
    KvProcessor* (*create) (double sampleRate, unsigned maxBlockSize);
    void (*destroy) (KvProcessor* processor);
    int (*setParameter) (KvProcessor* processor, unsigned id, double value);
    int (*loadPreset) (KvProcessor* processor, unsigned index);
    int (*formatParameter) (const KvProcessor* processor, unsigned id, char* text, size_t capacity);
    void (*process) (KvProcessor* processor, float** channels, unsigned channelCount, unsigned frames);
} KvProcessorInterface;

static const KvModuleDescriptor kvDescriptor = {
    sizeof (KvModuleDescriptor),
    KV_INTERFACE_REVISION,
    KV_VERSION_CODE,
    KV_PRODUCT_NAME,
    KV_VENDOR_NAME,
    KV_VERSION_TEXT,
    KV_FORMAT_NAME,
    "6B3F0D5E91A24C7D8E1F2A9C4D7B0E63",
    KV_PARAM_COUNT,
    kvParams,
    KV_PRESET_COUNT,
    kvPresets,
};

static const KvProcessorInterface kvInterface = {
    sizeof (KvProcessorInterface),
    kvCreateProcessor,
    kvDestroyProcessor,
    kvSetParameter,
    kvLoadPreset,
    kvFormatParameter,
    kvProcess,
};

static int kvEnter (void)
{
    if (InterlockedIncrement (&kvModuleUsers) == 1)
        kvBuildSineTable ();
    return 1;
}

static int kvLeave (void)
{
    if (kvModuleUsers <= 0)
        return 0;
    InterlockedDecrement (&kvModuleUsers);
    return 1;
}

#if defined(KV_FORMAT_VST3)

KV_EXPORT const KvProcessorInterface* KvGetModuleFactory (const KvModuleDescriptor** descriptor)
{
    if (descriptor != NULL)
        *descriptor = &kvDescriptor;
    return kvModuleUsers > 0 ? &kvInterface : NULL;
}

KV_EXPORT int KvModuleEnter (void* hostContext)
{
    (void) hostContext;
    return kvEnter ();
}

KV_EXPORT int KvModuleLeave (void)
{
    return kvLeave ();
}

#elif defined(KV_FORMAT_CLAP)

KV_EXPORT int kv_clap_module_open (const char* modulePath)
{
    (void) modulePath;
    return kvEnter ();
}

KV_EXPORT void kv_clap_module_close (void)
{
    kvLeave ();
}

KV_EXPORT const void* kv_clap_module_describe (const char* what)
{
    if (what == NULL || strcmp (what, "descriptor") == 0)
        return &kvDescriptor;
    if (strcmp (what, "processor") == 0 && kvModuleUsers > 0)
        return &kvInterface;
    return NULL;
}

#elif defined(KV_FORMAT_AAX)

KV_EXPORT unsigned KvAaxDescribeModule (const KvModuleDescriptor** descriptor)
{
    if (descriptor == NULL)
        return 0u;
    *descriptor = &kvDescriptor;
    return kvDescriptor.interfaceRevision;
}

KV_EXPORT KvProcessor* KvAaxCreateInstance (double sampleRate, unsigned maxBlockSize,
                                            const KvProcessorInterface** processorInterface)
{
    if (kvModuleUsers == 0)
        kvEnter ();
    if (processorInterface != NULL)
        *processorInterface = &kvInterface;
    return kvCreateProcessor (sampleRate, maxBlockSize);
}

KV_EXPORT void KvAaxReleaseInstance (KvProcessor* processor)
{
    kvDestroyProcessor (processor);
    if (kvLiveInstances == 0 && kvModuleUsers > 0)
        kvLeave ();
}

#endif

BOOL WINAPI DllMain (HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void) reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        kvModuleHandle = instance;
        DisableThreadLibraryCalls (instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        kvModuleHandle = NULL;
    }
    return TRUE;
}
