#include "TestSupport.h"
#include "core/ModuleVersionReader.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>

#ifndef OV_SOURCE_DIR
 #error "OV_SOURCE_DIR must name the project's source folder, where the test modules and payloads lie"
#endif

namespace
{
    const juce::String vst3Entry = "Kelvara 2.vst3\\Contents\\x86_64-win\\Kelvara 2.vst3";
    const juce::String clapEntry = "Kelvara 2.clap";
    const juce::String aaxEntry  = "Kelvara 2.aaxplugin\\Contents\\x64\\Kelvara 2.aaxplugin";
    const juce::String payloadVersion = "2.4.3.0";

    // What tests/data/make_version_modules.sh builds.
    const std::map<juce::String, juce::String> generatedModules {
        { "version_2.4.2.9.dll",                 "2.4.2.9" },
        { "version_2.4.10.0.dll",                "2.4.10.0" },
        { "version_2.5.0.0.dll",                 "2.5.0.0" },
        { "version_0.0.0.0.dll",                 "0.0.0.0" },
        { "version_65535.65535.65535.65535.dll", "65535.65535.65535.65535" },
        { "version_1.2.3.4_pe32.dll",            "1.2.3.4" },
        { "no_version.dll",                      "" }
    };

    juce::File sourceFolder()     { return juce::File (OV_SOURCE_DIR); }
    juce::File modulesFolder()    { return sourceFolder().getChildFile ("tests/data/modules"); }

    juce::MemoryBlock payloadModule (const juce::String& archiveName, const juce::String& entryName)
    {
        juce::ZipFile archive (sourceFolder().getChildFile ("resources").getChildFile (archiveName));
        juce::MemoryBlock bytes;

        if (const auto* entry = archive.getEntry (entryName))
            if (const std::unique_ptr<juce::InputStream> stream { archive.createStreamForEntry (*entry) })
                stream->readIntoMemoryBlock (bytes);

        return bytes;
    }

    juce::MemoryBlock vst3Module()    { return payloadModule ("vst3.zip", vst3Entry); }

    /** Reads the first length bytes, as if the file ended there. */
    ModuleVersionReader::Result readPrefix (const juce::MemoryBlock& bytes, size_t length)
    {
        juce::MemoryInputStream stream (bytes.getData(), juce::jmin (length, bytes.getSize()), false);
        return ModuleVersionReader::read (stream);
    }

    ModuleVersionReader::Result readFrom (const juce::MemoryBlock& bytes)
    {
        return readPrefix (bytes, bytes.getSize());
    }

    juce::String versionOf (const juce::MemoryBlock& bytes)
    {
        return readFrom (bytes).version;
    }

    bool looksLikeAVersion (const juce::String& text)
    {
        juce::StringArray parts;
        parts.addTokens (text, ".", {});

        return parts.size() == 4
            && std::all_of (parts.begin(), parts.end(), [] (const juce::String& part)
               {
                   return part.containsOnly ("0123456789") && part.isNotEmpty() && part.getIntValue() <= 0xffff;
               });
    }

    //==============================================================================
    /** A stream that passes another one through and counts every byte it hands out, so that
        the reader's own count can be checked from outside. */
    class CountingInputStream : public juce::InputStream
    {
    public:
        explicit CountingInputStream (juce::InputStream& sourceStream) : source (sourceStream) {}

        juce::int64 getTotalLength() override           { return source.getTotalLength(); }
        bool isExhausted() override                     { return source.isExhausted(); }
        juce::int64 getPosition() override              { return source.getPosition(); }
        bool setPosition (juce::int64 position) override { return source.setPosition (position); }

        int read (void* destination, int numBytes) override
        {
            const auto numRead = source.read (destination, numBytes);
            bytesGiven += juce::jmax (0, numRead);
            return numRead;
        }

        juce::int64 bytesGiven = 0;

    private:
        juce::InputStream& source;

        JUCE_DECLARE_NON_COPYABLE (CountingInputStream)
    };

    //==============================================================================
    /** A module's bytes, with the landmarks that the damage tests aim at found the plain way.
        Only for well-formed modules: it trusts what it reads. */
    class ModuleBytes
    {
    public:
        explicit ModuleBytes (juce::MemoryBlock original) : bytes (std::move (original)) {}

        juce::uint32 get32 (size_t offset) const   { return juce::ByteOrder::littleEndianInt (at (offset)); }
        juce::uint16 get16 (size_t offset) const   { return juce::ByteOrder::littleEndianShort (at (offset)); }

        void set32 (size_t offset, juce::uint32 value)
        {
            for (size_t i = 0; i < 4; ++i)
                bytes[offset + i] = (char) ((value >> (8 * i)) & 0xff);
        }

        void set16 (size_t offset, juce::uint16 value)
        {
            bytes[offset]     = (char) (value & 0xff);
            bytes[offset + 1] = (char) (value >> 8);
        }

        size_t coffHeader() const            { return get32 (0x3c) + 4; }
        size_t numSectionsField() const      { return coffHeader() + 2; }
        size_t optionalHeader() const        { return coffHeader() + 20; }
        size_t sectionTable() const          { return optionalHeader() + get16 (coffHeader() + 16); }
        int numSections() const              { return get16 (numSectionsField()); }

        /** The resource entry of the data directory: its RVA, then its size. */
        size_t resourceDataDirectory() const
        {
            return optionalHeader() + (get16 (optionalHeader()) == 0x20b ? 112u : 96u) + 2 * 8;
        }

        size_t sectionHeaderNamed (const char* name) const
        {
            for (int i = 0; i < numSections(); ++i)
            {
                const auto header = sectionTable() + (size_t) i * 40;

                if (std::strncmp (static_cast<const char*> (at (header)), name, 8) == 0)
                    return header;
            }

            ADD_FAILURE() << "no section " << name;
            return 0;
        }

        size_t fileOffsetOf (juce::uint32 rva) const
        {
            for (int i = 0; i < numSections(); ++i)
            {
                const auto header = sectionTable() + (size_t) i * 40;
                const auto start = get32 (header + 12);

                if (rva >= start && rva < start + get32 (header + 16))
                    return get32 (header + 20) + (rva - start);
            }

            ADD_FAILURE() << "no section holds RVA " << rva;
            return 0;
        }

        size_t resourceRoot() const          { return fileOffsetOf (get32 (resourceDataDirectory())); }
        size_t targetOf (size_t entry) const { return resourceRoot() + (get32 (entry + 4) & 0x7fffffffu); }

        size_t versionTypeEntry() const
        {
            const auto root = resourceRoot();
            const int numEntries = get16 (root + 12) + get16 (root + 14);

            for (int i = 0; i < numEntries; ++i)
                if (get32 (root + 16 + (size_t) i * 8) == 16)
                    return root + 16 + (size_t) i * 8;

            ADD_FAILURE() << "no RT_VERSION entry";
            return 0;
        }

        size_t versionNameDirectory() const      { return targetOf (versionTypeEntry()); }
        size_t versionNameEntry() const          { return versionNameDirectory() + 16; }
        size_t versionLanguageDirectory() const  { return targetOf (versionNameEntry()); }
        size_t versionLanguageEntry() const      { return versionLanguageDirectory() + 16; }
        size_t versionDataEntry() const          { return targetOf (versionLanguageEntry()); }
        size_t versionBlock() const              { return fileOffsetOf (get32 (versionDataEntry())); }
        size_t fixedFileInfo() const             { return versionBlock() + 40; }

        /** Where VS_FIXEDFILEINFO ends: everything the reader needs lies before it. */
        size_t endOfFixedFileInfo() const        { return fixedFileInfo() + 52; }

        juce::MemoryBlock bytes;

    private:
        const void* at (size_t offset) const
        {
            jassert (offset + 4 <= bytes.getSize());
            return static_cast<const char*> (bytes.getData()) + offset;
        }
    };

    ModuleBytes damagedVst3 (std::function<void (ModuleBytes&)> damage)
    {
        ModuleBytes module (vst3Module());
        damage (module);
        return module;
    }

    //==============================================================================
    juce::MemoryBlock withZerosAppended (juce::MemoryBlock bytes, size_t numZeros)
    {
        bytes.ensureSize (bytes.getSize() + numZeros, true);
        return bytes;
    }

    /** The module with its resource section's data moved to the end, behind the padding,
        so that reading the version means seeking far into a big file. */
    juce::MemoryBlock withResourcesMovedBehind (size_t padding)
    {
        ModuleBytes module (vst3Module());
        const auto rsrc = module.sectionHeaderNamed (".rsrc");
        const auto oldOffset = module.get32 (rsrc + 20);
        const auto rawSize = module.get32 (rsrc + 16);
        const auto newOffset = module.bytes.getSize() + padding;

        juce::MemoryBlock data (static_cast<const char*> (module.bytes.getData()) + oldOffset, rawSize);
        module.bytes.ensureSize (newOffset, true);
        module.bytes.append (data.getData(), data.getSize());
        module.set32 (rsrc + 20, (juce::uint32) newOffset);
        return module.bytes;
    }

    constexpr size_t nineMegabytes = 9 * 1024 * 1024;

    /** A new empty folder, removed with everything in it at the end of the test. */
    class TemporaryFolder
    {
    public:
        TemporaryFolder()     { folder.createDirectory(); }
        ~TemporaryFolder()    { folder.deleteRecursively(); }

        const juce::File folder { juce::File::createTempFile ("modules") };

        JUCE_DECLARE_NON_COPYABLE (TemporaryFolder)
    };
}

//==============================================================================
TEST (ModuleVersionReader, ReadsTheGeneratedModules)
{
    for (const auto& [name, expected] : generatedModules)
    {
        const auto module = modulesFolder().getChildFile (name);
        ASSERT_TRUE (module.existsAsFile()) << name;

        juce::FileInputStream stream (module);
        EXPECT_EQ (ModuleVersionReader::readFileVersion (stream), expected) << name;
        EXPECT_EQ (ModuleVersionReader::readFileVersion (module), expected) << name;
    }
}

TEST (ModuleVersionReader, ReadsThePayloadModules)
{
    const auto vst3 = vst3Module();
    const auto clap = payloadModule ("clap.zip", clapEntry);
    const auto aax = payloadModule ("aax.zip", aaxEntry);

    // Make sure the payloads were found, so that an empty answer means something.
    ASSERT_GT (vst3.getSize(), 4096u);
    ASSERT_GT (clap.getSize(), 4096u);
    ASSERT_GT (aax.getSize(), 4096u);
    ASSERT_EQ (static_cast<const char*> (clap.getData())[0], 'M');

    EXPECT_EQ (versionOf (vst3), payloadVersion);
    EXPECT_EQ (versionOf (aax), payloadVersion);
    EXPECT_EQ (versionOf (clap), "");
}

TEST (ModuleVersionReader, ReadsAModuleFileOnDisk)
{
    const auto bytes = vst3Module();
    const juce::TemporaryFile module (".vst3");
    ASSERT_TRUE (module.getFile().replaceWithData (bytes.getData(), bytes.getSize()));

    EXPECT_EQ (ModuleVersionReader::readFileVersion (module.getFile()), payloadVersion);
}

TEST (ModuleVersionReader, CountsExactlyTheBytesItTakes)
{
    for (const auto& [name, expected] : generatedModules)
    {
        juce::FileInputStream file (modulesFolder().getChildFile (name));
        CountingInputStream counted (file);
        const auto result = ModuleVersionReader::read (counted);

        EXPECT_EQ (result.version, expected) << name;
        EXPECT_EQ (result.bytesRead, counted.bytesGiven) << name;
        EXPECT_GT (result.bytesRead, 0) << name;
        EXPECT_LT (result.bytesRead, 8192) << name;
    }
}

//==============================================================================
TEST (ModuleVersionReader, EveryTruncationGivesNothingOrTheFullAnswer)
{
    for (const auto& module : { ModuleBytes (vst3Module()),
                                ModuleBytes (readBytes (modulesFolder().getChildFile ("version_1.2.3.4_pe32.dll"))) })
    {
        const auto expected = versionOf (module.bytes);
        ASSERT_TRUE (looksLikeAVersion (expected));

        // A prefix gives the version exactly when it holds the whole fixed file info, and nothing before.
        const auto needed = module.endOfFixedFileInfo();
        ASSERT_LE (needed, module.bytes.getSize());

        for (size_t length = 0; length <= module.bytes.getSize(); ++length)
        {
            const auto result = readPrefix (module.bytes, length);
            ASSERT_EQ (result.version, length >= needed ? expected : juce::String()) << "length " << length;
            ASSERT_LE (result.bytesRead, ModuleVersionReader::maxBytesRead);
        }
    }
}

TEST (ModuleVersionReader, TruncationsOfABigModuleGiveNothingOrTheFullAnswer)
{
    const ModuleBytes module (withResourcesMovedBehind (nineMegabytes));
    const auto needed = module.endOfFixedFileInfo();
    ASSERT_GT (needed, nineMegabytes);

    for (size_t length = 0; length <= module.bytes.getSize(); length += 65521)
        EXPECT_EQ (readPrefix (module.bytes, length).version, "") << "length " << length;

    for (auto length = needed - 64; length <= module.bytes.getSize(); ++length)
        ASSERT_EQ (readPrefix (module.bytes, length).version, length >= needed ? payloadVersion : juce::String())
            << "length " << length;
}

//==============================================================================
TEST (ModuleVersionReader, RefusesALoopInTheResourceTree)
{
    // The RT_VERSION entry leads back to the root directory.
    EXPECT_EQ (versionOf (damagedVst3 ([] (ModuleBytes& m) { m.set32 (m.versionTypeEntry() + 4, 0x80000000u); }).bytes), "");

    // The name entry leads back to the root, or to its own directory.
    EXPECT_EQ (versionOf (damagedVst3 ([] (ModuleBytes& m) { m.set32 (m.versionNameEntry() + 4, 0x80000000u); }).bytes), "");

    EXPECT_EQ (versionOf (damagedVst3 ([] (ModuleBytes& m)
    {
        const auto ownDirectory = (juce::uint32) (m.versionNameDirectory() - m.resourceRoot());
        m.set32 (m.versionNameEntry() + 4, 0x80000000u | ownDirectory);
    }).bytes), "");

    // The language entry leads back to the name directory above it.
    EXPECT_EQ (versionOf (damagedVst3 ([] (ModuleBytes& m)
    {
        const auto parent = (juce::uint32) (m.versionNameDirectory() - m.resourceRoot());
        m.set32 (m.versionLanguageEntry() + 4, 0x80000000u | parent);
    }).bytes), "");
}

TEST (ModuleVersionReader, RefusesALoopThatWouldEndInAnEntryOfTheRoot)
{
    // This module's root starts with a type known by name. Made a data entry that leads to
    // the version's own data, it would complete the path type, name, root, root's first entry.
    ModuleBytes module (readBytes (modulesFolder().getChildFile ("version_2.5.0.0.dll")));
    ASSERT_EQ (versionOf (module.bytes), "2.5.0.0");

    const auto firstRootEntry = module.resourceRoot() + 16;
    ASSERT_NE (module.get32 (firstRootEntry) & 0x80000000u, 0u) << "the first entry should be a named one";

    module.set32 (firstRootEntry + 4, module.get32 (module.versionLanguageEntry() + 4));
    module.set32 (module.versionNameEntry() + 4, 0x80000000u);

    EXPECT_EQ (versionOf (module.bytes), "");
}

TEST (ModuleVersionReader, RefusesAHugeSectionCount)
{
    for (const juce::uint16 count : { juce::uint16 (97), juce::uint16 (0xffff), juce::uint16 (0) })
    {
        const auto module = damagedVst3 ([count] (ModuleBytes& m) { m.set16 (m.numSectionsField(), count); });
        const auto result = readFrom (module.bytes);

        EXPECT_EQ (result.version, "") << count;
        EXPECT_LT (result.bytesRead, 1024) << count;
    }
}

TEST (ModuleVersionReader, RefusesAPeHeaderOffsetPastTheEnd)
{
    const auto size = (juce::uint32) vst3Module().getSize();

    for (const auto offset : { size, size - 3, size - 4, 0x7fffffffu, 0x80000000u, 0xffffffffu })
        EXPECT_EQ (versionOf (damagedVst3 ([offset] (ModuleBytes& m) { m.set32 (0x3c, offset); }).bytes), "") << offset;
}

TEST (ModuleVersionReader, RefusesAResourceAddressOutsideEverySectionsData)
{
    const auto bss = ModuleBytes (vst3Module()).sectionHeaderNamed (".bss");
    const auto bssAddress = ModuleBytes (vst3Module()).get32 (bss + 12);

    // Far away, just past the last section's data, and in a section with no bytes in the file.
    const ModuleBytes module (vst3Module());
    const auto lastSection = module.sectionTable() + (size_t) (module.numSections() - 1) * 40;
    const auto endOfLastSection = module.get32 (lastSection + 12) + module.get32 (lastSection + 8);

    for (const auto rva : { 0x7fff0000u, endOfLastSection, bssAddress, 0xfffffff0u })
        EXPECT_EQ (versionOf (damagedVst3 ([rva] (ModuleBytes& m) { m.set32 (m.resourceDataDirectory(), rva); }).bytes), "") << rva;

    // The version block's own address outside every section.
    EXPECT_EQ (versionOf (damagedVst3 ([] (ModuleBytes& m) { m.set32 (m.versionDataEntry(), 0x7fff0000u); }).bytes), "");
}

TEST (ModuleVersionReader, RefusesAVersionBlockLargerThanItsSection)
{
    EXPECT_EQ (versionOf (damagedVst3 ([] (ModuleBytes& m) { m.set32 (m.versionDataEntry() + 4, 0xffffffffu); }).bytes), "");
    EXPECT_EQ (versionOf (damagedVst3 ([] (ModuleBytes& m) { m.set32 (m.versionDataEntry() + 4, 0x10000u); }).bytes), "");
    EXPECT_EQ (versionOf (damagedVst3 ([] (ModuleBytes& m) { m.set32 (m.versionDataEntry() + 4, 40); }).bytes), "");
}

TEST (ModuleVersionReader, RefusesEntriesBeyondTheResourceDirectorySize)
{
    // With too small a size for the tree, its entries lie outside it.
    EXPECT_EQ (versionOf (damagedVst3 ([] (ModuleBytes& m) { m.set32 (m.resourceDataDirectory() + 4, 16); }).bytes), "");
    EXPECT_EQ (versionOf (damagedVst3 ([] (ModuleBytes& m) { m.set32 (m.resourceDataDirectory() + 4, 0); }).bytes), "");
}

TEST (ModuleVersionReader, RefusesAWrongFixedInfoSignature)
{
    EXPECT_EQ (versionOf (damagedVst3 ([] (ModuleBytes& m)
    {
        ASSERT_EQ (m.get32 (m.fixedFileInfo()), 0xfeef04bdu);
        m.set32 (m.fixedFileInfo(), 0xfeef04bcu);
    }).bytes), "");
}

TEST (ModuleVersionReader, RefusesAWrongKeyOrTooShortAValue)
{
    EXPECT_EQ (versionOf (damagedVst3 ([] (ModuleBytes& m) { m.set16 (m.versionBlock() + 6 + 2 * 14, 'X'); }).bytes), "");
    EXPECT_EQ (versionOf (damagedVst3 ([] (ModuleBytes& m) { m.set16 (m.versionBlock() + 2, 0); }).bytes), "");
    EXPECT_EQ (versionOf (damagedVst3 ([] (ModuleBytes& m) { m.set16 (m.versionBlock(), 91); }).bytes), "");
}

TEST (ModuleVersionReader, RefusesDirectoriesAndDataEntriesInEachOthersPlace)
{
    EXPECT_EQ (versionOf (damagedVst3 ([] (ModuleBytes& m)
    {
        m.set32 (m.versionTypeEntry() + 4, m.get32 (m.versionTypeEntry() + 4) & 0x7fffffffu);
    }).bytes), "");

    EXPECT_EQ (versionOf (damagedVst3 ([] (ModuleBytes& m)
    {
        m.set32 (m.versionNameEntry() + 4, m.get32 (m.versionNameEntry() + 4) & 0x7fffffffu);
    }).bytes), "");

    EXPECT_EQ (versionOf (damagedVst3 ([] (ModuleBytes& m)
    {
        m.set32 (m.versionLanguageEntry() + 4, m.get32 (m.versionLanguageEntry() + 4) | 0x80000000u);
    }).bytes), "");
}

TEST (ModuleVersionReader, AbsurdEntryCountsNeitherHangNorReadMuch)
{
    for (const auto& [named, ids] : { std::pair<juce::uint16, juce::uint16> { 0xffff, 0xffff },
                                     std::pair<juce::uint16, juce::uint16> { 0, 0xffff },
                                     std::pair<juce::uint16, juce::uint16> { 0xffff, 1 } })
    {
        const auto module = damagedVst3 ([named = named, ids = ids] (ModuleBytes& m)
        {
            m.set16 (m.resourceRoot() + 12, named);
            m.set16 (m.resourceRoot() + 14, ids);
        });

        const auto result = readFrom (module.bytes);
        EXPECT_EQ (result.version, "") << named << " " << ids;
        EXPECT_LT (result.bytesRead, 8192) << named << " " << ids;
    }

    // Absurd counts below the type level only ever cost the first entry.
    const auto manyNames = damagedVst3 ([] (ModuleBytes& m) { m.set16 (m.versionNameDirectory() + 14, 0xffff); });
    EXPECT_EQ (versionOf (manyNames.bytes), payloadVersion);
}

TEST (ModuleVersionReader, RefusesAnOptionalHeaderOfNeitherLayoutOrWithoutResources)
{
    EXPECT_EQ (versionOf (damagedVst3 ([] (ModuleBytes& m) { m.set16 (m.optionalHeader(), 0x107); }).bytes), "");

    // Too few data directories to hold the resource entry.
    EXPECT_EQ (versionOf (damagedVst3 ([] (ModuleBytes& m) { m.set32 (m.optionalHeader() + 108, 2); }).bytes), "");
}

TEST (ModuleVersionReader, RandomDamageGivesNothingOrAVersion)
{
    const ModuleBytes original (vst3Module());
    const auto headers = original.sectionTable() + (size_t) original.numSections() * 40;
    const auto rsrc = original.sectionHeaderNamed (".rsrc");
    const auto resourcesStart = (int) original.get32 (rsrc + 20);
    const auto resourcesSize = (int) original.get32 (rsrc + 16);

    juce::Random random (20250314);
    int numUnchanged = 0;

    for (int i = 0; i < 20000; ++i)
    {
        auto bytes = original.bytes;
        const auto numChanges = 1 + random.nextInt (8);

        for (int change = 0; change < numChanges; ++change)
        {
            const auto position = random.nextBool() ? random.nextInt ((int) headers)
                                                    : resourcesStart + random.nextInt (resourcesSize);
            bytes[(size_t) position] = (char) random.nextInt (256);
        }

        const auto result = readFrom (bytes);

        ASSERT_TRUE (result.version.isEmpty() || looksLikeAVersion (result.version)) << result.version;
        ASSERT_LE (result.bytesRead, ModuleVersionReader::maxBytesRead);
        numUnchanged += result.version == payloadVersion ? 1 : 0;
    }

    // Most damage lands on bytes the reader never looks at.
    EXPECT_GT (numUnchanged, 1000);
    EXPECT_LT (numUnchanged, 20000);
}

//==============================================================================
TEST (ModuleVersionReader, GivesNothingForWhatIsNoModule)
{
    const juce::TemporaryFile folder;
    ASSERT_TRUE (folder.getFile().createDirectory());
    EXPECT_EQ (ModuleVersionReader::readFileVersion (folder.getFile()), "");

    EXPECT_EQ (ModuleVersionReader::readFileVersion (folder.getFile().getChildFile ("missing.vst3")), "");
    EXPECT_EQ (ModuleVersionReader::readFileVersion (juce::File()), "");

    const juce::TemporaryFile empty;
    ASSERT_TRUE (empty.getFile().create());
    EXPECT_EQ (ModuleVersionReader::readFileVersion (empty.getFile()), "");

    const juce::TemporaryFile text (".txt");
    ASSERT_TRUE (text.getFile().replaceWithText ("MZ is where a module starts, but this is only text.\n"));
    EXPECT_EQ (ModuleVersionReader::readFileVersion (text.getFile()), "");

    juce::MemoryInputStream nothing (nullptr, 0, false);
    EXPECT_EQ (ModuleVersionReader::readFileVersion (nothing), "");
}

TEST (ModuleVersionReader, ReadsLittleOfANineMegabyteModule)
{
    for (const auto& big : { withZerosAppended (vst3Module(), nineMegabytes), withResourcesMovedBehind (nineMegabytes) })
    {
        ASSERT_GT (big.getSize(), nineMegabytes);

        juce::MemoryInputStream memory (big, false);
        CountingInputStream counted (memory);
        const auto result = ModuleVersionReader::read (counted);

        EXPECT_EQ (result.version, payloadVersion);
        EXPECT_EQ (result.bytesRead, counted.bytesGiven);
        EXPECT_LE (counted.bytesGiven, 65536);

        const juce::TemporaryFile onDisk (".vst3");
        ASSERT_TRUE (onDisk.getFile().replaceWithData (big.getData(), big.getSize()));
        EXPECT_EQ (ModuleVersionReader::readFileVersion (onDisk.getFile()), payloadVersion);
    }
}

//==============================================================================
TEST (ModuleVersionReader, AgreesWithAnIndependentReader)
{
    OV_SKIP_ON_WINDOWS ("the independent reader is this system's Python with pefile");

    const juce::File python ("/usr/bin/python3");

    if (! python.existsAsFile())
        GTEST_SKIP() << "no /usr/bin/python3 with pefile here";

    // The payload modules too, written out under their own names.
    const TemporaryFolder payloads;
    const auto vst3 = vst3Module();
    const auto aax = payloadModule ("aax.zip", aaxEntry);
    const auto clap = payloadModule ("clap.zip", clapEntry);
    ASSERT_TRUE (payloads.folder.getChildFile ("Kelvara 2.vst3").replaceWithData (vst3.getData(), vst3.getSize()));
    ASSERT_TRUE (payloads.folder.getChildFile ("Kelvara 2.aaxplugin").replaceWithData (aax.getData(), aax.getSize()));
    ASSERT_TRUE (payloads.folder.getChildFile ("Kelvara 2.clap").replaceWithData (clap.getData(), clap.getSize()));

    juce::ChildProcess process;
    ASSERT_TRUE (process.start (juce::StringArray { python.getFullPathName(),
                                                    sourceFolder().getChildFile ("tests/data/cross_check_versions.py").getFullPathName(),
                                                    modulesFolder().getFullPathName(),
                                                    payloads.folder.getFullPathName() },
                                juce::ChildProcess::wantStdOut));

    const auto output = process.readAllProcessOutput();
    ASSERT_TRUE (process.waitForProcessToFinish (60000));
    ASSERT_EQ (process.getExitCode(), 0u) << output;

    juce::StringArray lines;
    lines.addLines (output.trimEnd());
    EXPECT_EQ (lines.size(), modulesFolder().getNumberOfChildFiles (juce::File::findFiles) + 3) << output;

    std::map<juce::String, juce::String> independent;

    for (const auto& line : lines)
        independent[line.upToFirstOccurrenceOf ("\t", false, false)] = line.fromFirstOccurrenceOf ("\t", false, false);

    for (const auto& folder : { modulesFolder(), payloads.folder })
    {
        for (const auto& module : folder.findChildFiles (juce::File::findFiles, false))
        {
            juce::FileInputStream stream (module);
            ASSERT_EQ (independent.count (module.getFileName()), 1u) << module.getFileName();
            EXPECT_EQ (ModuleVersionReader::readFileVersion (stream), independent[module.getFileName()]) << module.getFileName();
        }
    }

    // The independent reader saw the versions too, not just empty answers.
    EXPECT_EQ (independent["Kelvara 2.vst3"], payloadVersion);
    EXPECT_EQ (independent["version_1.2.3.4_pe32.dll"], "1.2.3.4");
}

// Windows' own reader (GetFileVersionInfoW, under Wine Wine's) against the portable one, on
// every test module and the payload's VST3 module.
TEST (ModuleVersionReader, AgreesWithTheSystemsReaderOnWindows)
{
    if (! runsOnWindows())
        GTEST_SKIP() << "Windows only: the system's reader is GetFileVersionInfoW";

    const TemporaryFolder payloads;
    const auto vst3 = vst3Module();
    const auto vst3File = payloads.folder.getChildFile ("Kelvara 2.vst3");
    ASSERT_TRUE (vst3File.replaceWithData (vst3.getData(), vst3.getSize()));

    auto modules = modulesFolder().findChildFiles (juce::File::findFiles, false);
    modules.add (vst3File);
    ASSERT_GE (modules.size(), 8);

    std::map<juce::String, juce::String> systemVersions;

    for (const auto& module : modules)
    {
        juce::FileInputStream stream (module);
        ASSERT_TRUE (stream.openedOk()) << module.getFileName();

        systemVersions[module.getFileName()] = module.getVersion();
        EXPECT_EQ (module.getVersion(), ModuleVersionReader::readFileVersion (stream)) << module.getFileName();
    }

    EXPECT_EQ (systemVersions["Kelvara 2.vst3"], "2.4.3.0");
    EXPECT_EQ (systemVersions["version_2.4.2.9.dll"], "2.4.2.9");
    EXPECT_EQ (systemVersions["version_2.4.10.0.dll"], "2.4.10.0");
    EXPECT_EQ (systemVersions["no_version.dll"], "");
}
