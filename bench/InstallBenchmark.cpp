// Measures the install engine against Info-ZIP's unzip on synthetic payloads of the real
// archives' layout and size, the verification of the installed bundles against `unzip -tq`
// on the same archives, the engine's peak memory, and the cost of status detection for
// installed bundles with large modules.
//
//   ov_install_benchmark [runs]          all measurements, a report on stdout
//   ov_install_benchmark --memory DIR    (internal) one install in a fresh process

#include "core/BundleVerifier.h"
#include "core/FormatStatus.h"
#include "core/InstallEngine.h"
#include "core/ModuleVersionReader.h"
#include "core/ProductDefinition.h"

#include <PayloadArchives.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace
{
    constexpr size_t moduleSize = 9 * 1024 * 1024;

    struct SyntheticPayload
    {
        juce::String bundleName;
        juce::File archiveFile;
        juce::MemoryBlock archive;
    };

    juce::MemoryBlock realModule (const char* zipData, int zipSize, int entryIndex)
    {
        juce::ZipFile zip (new juce::MemoryInputStream (zipData, (size_t) zipSize, false), true);
        std::unique_ptr<juce::InputStream> in (zip.createStreamForEntry (entryIndex));
        juce::MemoryBlock block;
        in->readIntoMemoryBlock (block);
        return block;
    }

    /** A module of the given size: the real module with its version resource first, then code-like,
        data-like and random stretches, so that deflate finds some but not all of it compressible. */
    juce::MemoryBlock syntheticModule (const juce::MemoryBlock& head, size_t size, juce::int64 seed)
    {
        juce::MemoryBlock block (size, true);
        auto* bytes = static_cast<juce::uint8*> (block.getData());
        std::memcpy (bytes, head.getData(), std::min (head.getSize(), size));

        juce::Random random (seed);
        constexpr size_t stretch = 4096;

        for (size_t offset = head.getSize(); offset < size; offset += stretch)
        {
            const auto length = std::min (stretch, size - offset);
            const auto kind = random.nextInt (10);

            for (size_t i = 0; i < length; ++i)
            {
                if (kind < 8)        bytes[offset + i] = (juce::uint8) random.nextInt (256);                 // packed data
                else if (kind < 9)   bytes[offset + i] = (juce::uint8) ((0x48 + (i % 7) * 0x11 + (i / 64)) & 0xff); // code-like
                else                 bytes[offset + i] = (juce::uint8) (i % 16 == 0 ? random.nextInt (4) : 0);     // tables, padding
            }
        }

        return block;
    }

    SyntheticPayload makePayload (const juce::File& folder, const juce::String& bundleName,
                                  const std::vector<std::pair<juce::String, juce::MemoryBlock>>& entries)
    {
        juce::ZipFile::Builder builder;

        for (const auto& [name, content] : entries)
        {
            if (name.endsWithChar ('\\'))
                builder.addEntry (new juce::MemoryInputStream (nullptr, 0, false), 0, name, juce::Time (2025, 2, 14, 12, 0));
            else
                builder.addEntry (new juce::MemoryInputStream (content, true), 6, name, juce::Time (2025, 2, 14, 12, 0));
        }

        SyntheticPayload payload { bundleName, folder.getChildFile (bundleName + ".zip"), {} };
        {
            juce::MemoryOutputStream out (payload.archive, false);
            builder.writeToStream (out, nullptr);
        }
        payload.archiveFile.replaceWithData (payload.archive.getData(), payload.archive.getSize());
        return payload;
    }

    std::vector<SyntheticPayload> makePayloads (const juce::File& folder)
    {
        const auto vst3Module = realModule (PayloadArchives::vst3_zip, PayloadArchives::vst3_zipSize, 4);
        const auto clapModule = realModule (PayloadArchives::clap_zip, PayloadArchives::clap_zipSize, 0);
        const auto aaxModule  = realModule (PayloadArchives::aax_zip,  PayloadArchives::aax_zipSize, 3);
        const auto small = [] (const juce::String& text) { return juce::MemoryBlock (text.toRawUTF8(), text.getNumBytesAsUTF8()); };

        const juce::String ini ("[.ShellClassInfo]\r\nIconResource=Plugin.ico,0\r\n");
        const auto icon = syntheticModule ({}, 90 * 1024, 7);

        return {
            makePayload (folder, "Kelvara 2.vst3", {
                { "Kelvara 2.vst3\\Contents\\", {} },
                { "Kelvara 2.vst3\\desktop.ini", small (ini) },
                { "Kelvara 2.vst3\\Plugin.ico", icon },
                { "Kelvara 2.vst3\\Contents\\Resources\\moduleinfo.json", small ("{ \"Name\": \"Kelvara 2\", \"Version\": \"2.4.3\" }") },
                { "Kelvara 2.vst3\\Contents\\x86_64-win\\Kelvara 2.vst3", syntheticModule (vst3Module, moduleSize, 1) } }),
            makePayload (folder, "Kelvara 2.clap", {
                { "Kelvara 2.clap", syntheticModule (clapModule, moduleSize, 2) } }),
            makePayload (folder, "Kelvara 2.aaxplugin", {
                { "Kelvara 2.aaxplugin\\Contents\\", {} },
                { "Kelvara 2.aaxplugin\\desktop.ini", small (ini) },
                { "Kelvara 2.aaxplugin\\Plugin.ico", icon },
                { "Kelvara 2.aaxplugin\\Contents\\x64\\Kelvara 2.aaxplugin", syntheticModule (aaxModule, moduleSize, 3) } })
        };
    }

    double median (std::vector<double> values)
    {
        std::sort (values.begin(), values.end());
        return values[values.size() / 2];
    }

    double secondsSince (juce::int64 startTicks)
    {
        return juce::Time::highResolutionTicksToSeconds (juce::Time::getHighResolutionTicks() - startTicks);
    }

    double timeEngine (const std::vector<SyntheticPayload>& payloads, const juce::File& target)
    {
        target.deleteRecursively();
        const auto start = juce::Time::getHighResolutionTicks();

        for (const auto& payload : payloads)
        {
            const auto result = InstallEngine::install (0, target, payload.bundleName, payload.archive.getData(), payload.archive.getSize());

            if (! result.succeeded)
            {
                std::fprintf (stderr, "install failed: %s\n", result.reason.toRawUTF8());
                std::exit (1);
            }
        }

        return secondsSince (start);
    }

    double timeUnzip (const std::vector<SyntheticPayload>& payloads, const juce::File& target)
    {
        target.deleteRecursively();
        target.createDirectory();
        const auto start = juce::Time::getHighResolutionTicks();

        for (const auto& payload : payloads)
        {
            juce::ChildProcess unzip;
            const juce::StringArray command { "unzip", "-o", "-q", payload.archiveFile.getFullPathName(), "-d", target.getFullPathName() };

            if (! unzip.start (command, 0) || ! unzip.waitForProcessToFinish (60000) || unzip.getExitCode() > 1)
            {
                std::fprintf (stderr, "unzip failed\n");
                std::exit (1);
            }
        }

        return secondsSince (start);
    }

    /** `verify all`: each installed bundle against its archive. */
    double timeVerify (const std::vector<SyntheticPayload>& payloads, const juce::File& installed)
    {
        const auto start = juce::Time::getHighResolutionTicks();

        for (const auto& payload : payloads)
        {
            const auto verdict = BundleVerifier::verify (installed.getChildFile (payload.bundleName),
                                                         payload.archive.getData(), payload.archive.getSize());

            if (verdict.state != BundleVerifier::State::intact)
            {
                std::fprintf (stderr, "verify found %s: %s\n", payload.bundleName.toRawUTF8(), verdict.reason.toRawUTF8());
                std::exit (1);
            }
        }

        return secondsSince (start);
    }

    /** Info-ZIP's own test of the three archives: every entry inflated and its CRC-32 checked. */
    double timeUnzipTest (const std::vector<SyntheticPayload>& payloads)
    {
        const auto start = juce::Time::getHighResolutionTicks();

        for (const auto& payload : payloads)
        {
            juce::ChildProcess unzip;

            if (! unzip.start (juce::StringArray { "unzip", "-tq", payload.archiveFile.getFullPathName() }, 0)
                 || ! unzip.waitForProcessToFinish (60000) || unzip.getExitCode() != 0)
            {
                std::fprintf (stderr, "unzip -tq failed\n");
                std::exit (1);
            }
        }

        return secondsSince (start);
    }

    juce::int64 statusKiB (const char* key)
    {
        juce::StringArray lines;
        lines.addLines (juce::File ("/proc/self/status").loadFileAsString());

        for (const auto& line : lines)
            if (line.startsWith (key))
                return line.fromFirstOccurrenceOf (":", false, false).trim().getLargeIntValue();

        return -1;
    }

    /** One install run in this process, as the app makes it: the archives stand in for the
        executable's embedded data as read-only mapped files, touched once before measuring. */
    int measureMemory (const juce::File& folder)
    {
        const juce::StringArray names { "Kelvara 2.vst3", "Kelvara 2.clap", "Kelvara 2.aaxplugin" };
        std::vector<std::unique_ptr<juce::MemoryMappedFile>> mapped;
        juce::int64 largest = 0;
        juce::uint64 checksum = 0;

        for (const auto& name : names)
        {
            mapped.push_back (std::make_unique<juce::MemoryMappedFile> (folder.getChildFile (name + ".zip"), juce::MemoryMappedFile::readOnly));
            const auto* bytes = static_cast<const juce::uint8*> (mapped.back()->getData());

            for (size_t i = 0; i < mapped.back()->getSize(); i += 4096)
                checksum += bytes[i];

            largest = std::max (largest, (juce::int64) mapped.back()->getSize());
        }

        const auto target = folder.getChildFile ("memory-target");
        target.deleteRecursively();

        const auto idle = statusKiB ("VmHWM");

        for (int i = 0; i < names.size(); ++i)
            InstallEngine::install (i, target, names[i], mapped[(size_t) i]->getData(), mapped[(size_t) i]->getSize());

        const auto peak = statusKiB ("VmHWM");
        std::printf ("%lld %lld %lld %llu\n", (long long) idle, (long long) peak, (long long) largest / 1024, (unsigned long long) checksum % 2);
        return 0;
    }

    void reportStatusDetection (const juce::File& installed, int runs)
    {
        const juce::String productName ("Kelvara 2");
        std::vector<double> times;

        for (int run = 0; run < runs * 20; ++run)
        {
            const auto start = juce::Time::getHighResolutionTicks();

            for (int format = 0; format < ProductDefinition::numFormats; ++format)
                juce::ignoreUnused (FormatStatus::detect (installed, productName, ProductDefinition::productVersion, format));

            times.push_back (secondsSince (start));
        }

        std::printf ("\nstatus detection, three installed formats with 9 MiB modules (median of %d):\n", (int) times.size());
        std::printf ("  per painting: %.1f us\n", median (times) * 1e6);

        for (int format = 0; format < ProductDefinition::numFormats; ++format)
        {
            const auto bundle = ProductDefinition::bundleFor (installed, productName, format);
            const auto module = ProductDefinition::versionFileFor (bundle, productName, format);
            juce::FileInputStream in (module);
            const auto result = ModuleVersionReader::read (in);
            const auto status = FormatStatus::detect (installed, productName, ProductDefinition::productVersion, format);

            std::printf ("  %-5s module %.1f MiB, read %lld bytes, status \"%s\"\n",
                         formatNames[format].toRawUTF8(), (double) module.getSize() / (1024.0 * 1024.0),
                         (long long) result.bytesRead, status.getStatusText().toRawUTF8());
        }
    }
}

int main (int argc, char** argv)
{
    if (argc == 3 && juce::String (argv[1]) == "--memory")
        return measureMemory (juce::File (argv[2]));

    const int runs = argc > 1 ? juce::jmax (1, juce::String (argv[1]).getIntValue()) : 5;

    juce::TemporaryFile work (juce::String(), juce::TemporaryFile::useHiddenFile);
    const auto folder = work.getFile();
    folder.createDirectory();

    const auto payloads = makePayloads (folder);

    std::printf ("payloads:");
    for (const auto& payload : payloads)
        std::printf ("  %s %.2f MB", payload.bundleName.toRawUTF8(), (double) payload.archive.getSize() / 1e6);
    std::printf ("\n\n");

    std::vector<double> engine, unzip, verify, unzipTest;

    for (int run = 0; run < runs; ++run)
    {
        engine.push_back (timeEngine (payloads, folder.getChildFile ("engine")));
        unzip.push_back (timeUnzip (payloads, folder.getChildFile ("unzip")));
        verify.push_back (timeVerify (payloads, folder.getChildFile ("engine")));
        unzipTest.push_back (timeUnzipTest (payloads));
    }

    std::printf ("install throughput, three payloads (median of %d runs):\n", runs);
    std::printf ("  engine (copy, verify, swap)  : %.1f ms\n", median (engine) * 1000.0);
    std::printf ("  unzip -o -q                  : %.1f ms\n", median (unzip) * 1000.0);
    std::printf ("  ratio engine / unzip         : %.2f (target <= 1.0)\n", median (engine) / median (unzip));

    std::printf ("\nverify all against unzip -tq, three payloads (median of %d runs):\n", runs);
    std::printf ("  verify (size, CRC-32, tree)  : %.1f ms\n", median (verify) * 1000.0);
    std::printf ("  unzip -tq                    : %.1f ms\n", median (unzipTest) * 1000.0);
    std::printf ("  ratio verify / unzip -tq     : %.2f (target <= 1.0)\n", median (verify) / median (unzipTest));

    juce::ChildProcess child;
    const juce::StringArray command { juce::File::getSpecialLocation (juce::File::currentExecutableFile).getFullPathName(),
                                      "--memory", folder.getFullPathName() };

    if (child.start (command))
    {
        const auto fields = juce::StringArray::fromTokens (child.readAllProcessOutput(), " \n", {});

        if (fields.size() >= 3)
        {
            const auto idle = fields[0].getLargeIntValue(), peak = fields[1].getLargeIntValue(), archive = fields[2].getLargeIntValue();
            std::printf ("\npeak memory during the install, in a fresh process:\n");
            std::printf ("  idle %lld KiB, peak %lld KiB: %lld KiB above idle; largest archive %lld KiB (target: at most one copy)\n",
                         (long long) idle, (long long) peak, (long long) (peak - idle), (long long) archive);
        }
    }

    reportStatusDetection (folder.getChildFile ("engine"), runs);

    folder.deleteRecursively();
    return 0;
}
