#include "TestSupport.h"
#include "core/SupportMail.h"
#include "core/ProductDefinition.h"

namespace
{
    /** Percent-escaping written out byte by byte, independent of the framework's. */
    std::string escaped (const std::string& utf8)
    {
        static const std::string kept = "_-.~()";
        std::string result;

        for (const auto byte : utf8)
        {
            const auto c = (unsigned char) byte;

            if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || kept.find ((char) c) != std::string::npos)
            {
                result += (char) c;
            }
            else
            {
                static const char hex[] = "0123456789ABCDEF";
                result += '%';
                result += hex[c >> 4];
                result += hex[c & 15];
            }
        }

        return result;
    }

    std::string expectedLink (const std::string& name, const std::string& version, const std::string& os,
                              const std::string& device, const std::string& cpu)
    {
        const auto body = "Product: " + name + " " + version + "\nOperating System: " + os + "\nDevice: " + device
                        + "\nCPU: " + cpu + "\n\nYour problem, and the steps to recreate it, if possible:\n";

        return "mailto:support@orvanta-audio.example?subject=" + escaped (name + " help") + "&body=" + escaped (body);
    }
}

TEST (SupportMail, TheEmbeddedProductsLinkEscapesEverySeparator)
{
    const SupportMail::SystemDescription system { "Windows 11", "Windows (Desktop)", "Intel(R) Core(TM) i7-9700K CPU @ 3.60GHz" };
    const auto link = SupportMail::composeLink ("Kelvara 2", "2.4.3", system);

    EXPECT_EQ (link.toStdString(), expectedLink ("Kelvara 2", "2.4.3", "Windows 11", "Windows (Desktop)",
                                                 "Intel(R) Core(TM) i7-9700K CPU @ 3.60GHz"));
    EXPECT_TRUE (link.startsWith ("mailto:support@orvanta-audio.example?subject=Kelvara%202%20help&body=Product%3A%20Kelvara%202%202.4.3%0A"));
    EXPECT_TRUE (link.contains ("CPU%3A%20Intel(R)%20Core(TM)%20i7-9700K%20CPU%20%40%203.60GHz%0A%0AYour%20problem"));

    // Nothing that a shell or the link's own syntax would read is left bare.
    for (const auto c : { '&', '?', '=', '#', '+', '$', '`', '"', '\\', ' ', '\n' })
        EXPECT_FALSE (link.fromFirstOccurrenceOf ("&body=", false, false).containsChar ((juce::juce_wchar) c)) << c;
}

TEST (SupportMail, NonAsciiNamesCarryTheirUtf8Bytes)
{
    const auto name = std::string ("K\xc3\xa9lvara \xe2\x84\xa2 \xf0\x9f\x8e\xb9");
    const auto cpu  = std::string ("Proc\xc3\xa9sseur \xe6\x97\xa5\xe6\x9c\xac");
    const SupportMail::SystemDescription system { "Linux", "PC", juce::String (juce::CharPointer_UTF8 (cpu.c_str())) };

    const auto link = SupportMail::composeLink (juce::String (juce::CharPointer_UTF8 (name.c_str())), "2.4.3", system);

    EXPECT_EQ (link.toStdString(), expectedLink (name, "2.4.3", "Linux", "PC", cpu));
    EXPECT_TRUE (link.contains ("K%C3%A9lvara%20%E2%84%A2%20%F0%9F%8E%B9%20help"));
}

TEST (SupportMail, AMissingCpuNameLeavesTheLineEmpty)
{
    const auto body = SupportMail::composeBody ("Kelvara 2", "2.4.3", { "Windows 10", "Windows (Desktop)", {} });

    EXPECT_EQ (body, juce::String ("Product: Kelvara 2 2.4.3\nOperating System: Windows 10\nDevice: Windows (Desktop)\nCPU: \n\n"
                                   "Your problem, and the steps to recreate it, if possible:\n"));
}

TEST (SupportMail, ThisMachineIsDescribedAsTheFrameworkReportsIt)
{
    const auto system = SupportMail::SystemDescription::ofThisMachine();

    EXPECT_EQ (system.operatingSystem, juce::SystemStats::getOperatingSystemName());
    EXPECT_EQ (system.cpu, juce::SystemStats::getCpuModel());
    EXPECT_TRUE (SupportMail::composeBody ("P", "1", system).contains ("\nDevice: " + juce::SystemStats::getDeviceDescription() + "\n"));
}
