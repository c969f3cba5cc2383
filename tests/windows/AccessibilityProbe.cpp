// Reads the installer's window as a screen reader does, through the UI Automation client:
//
//   ov_accessibility_probe TITLE
//
// prints one line per element below the window titled TITLE, tab-separated and UTF-8:
// control type id, toggle state (-1 when the element is no toggle), name, full description.
// The first line is the window itself. Exit 1 when the window or the client is not there.
#include <windows.h>
#include <ole2.h>
#include <initguid.h>     // the interface and class ids below come from the header itself
#include <uiautomation.h>
#include <cstdio>
#include <string>

namespace
{
    std::string utf8 (const wchar_t* text)
    {
        if (text == nullptr || *text == 0)
            return {};

        const int size = WideCharToMultiByte (CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
        std::string result ((size_t) size, '\0');
        WideCharToMultiByte (CP_UTF8, 0, text, -1, &result[0], size, nullptr, nullptr);
        result.resize ((size_t) size - 1);

        for (auto& c : result)
            if (c == '\t' || c == '\n' || c == '\r')
                c = ' ';

        return result;
    }

    std::string stringProperty (IUIAutomationElement* element, PROPERTYID property)
    {
        VARIANT value;
        VariantInit (&value);
        std::string text;

        if (SUCCEEDED (element->GetCurrentPropertyValue (property, &value)) && value.vt == VT_BSTR)
            text = utf8 (value.bstrVal);

        VariantClear (&value);
        return text;
    }

    void printElement (IUIAutomationElement* element)
    {
        CONTROLTYPEID type = 0;
        element->get_CurrentControlType (&type);

        int toggle = -1;
        IUIAutomationTogglePattern* pattern = nullptr;

        if (SUCCEEDED (element->GetCurrentPatternAs (UIA_TogglePatternId, IID_IUIAutomationTogglePattern, (void**) &pattern))
            && pattern != nullptr)
        {
            ToggleState state = ToggleState_Indeterminate;
            if (SUCCEEDED (pattern->get_CurrentToggleState (&state)))
                toggle = (int) state;
            pattern->Release();
        }

        std::printf ("%d\t%d\t%s\t%s\n", (int) type, toggle,
                     stringProperty (element, UIA_NamePropertyId).c_str(),
                     stringProperty (element, UIA_FullDescriptionPropertyId).c_str());
    }
}

int wmain (int argc, wchar_t** argv)
{
    if (argc != 2)
    {
        std::fputs ("usage: ov_accessibility_probe TITLE\n", stderr);
        return 2;
    }

    const HWND window = FindWindowW (nullptr, argv[1]);
    if (window == nullptr)
    {
        std::fputs ("no window with that title\n", stderr);
        return 1;
    }

    CoInitializeEx (nullptr, COINIT_MULTITHREADED);
    IUIAutomation* automation = nullptr;
    HRESULT result = CoCreateInstance (CLSID_CUIAutomation, nullptr, CLSCTX_INPROC_SERVER, IID_IUIAutomation, (void**) &automation);

    IUIAutomationElement* root = nullptr;
    if (SUCCEEDED (result))
        result = automation->ElementFromHandle (window, &root);

    IUIAutomationCondition* everything = nullptr;
    IUIAutomationElementArray* found = nullptr;
    if (SUCCEEDED (result))
        result = automation->CreateTrueCondition (&everything);
    if (SUCCEEDED (result))
        result = root->FindAll (TreeScope_Descendants, everything, &found);

    if (FAILED (result))
    {
        std::fprintf (stderr, "the UI Automation client failed: 0x%08lx\n", (unsigned long) result);
        return 1;
    }

    printElement (root);
    int count = 0;
    found->get_Length (&count);

    for (int i = 0; i < count; ++i)
    {
        IUIAutomationElement* element = nullptr;
        if (SUCCEEDED (found->GetElement (i, &element)) && element != nullptr)
        {
            printElement (element);
            element->Release();
        }
    }

    found->Release();
    everything->Release();
    root->Release();
    automation->Release();
    CoUninitialize();
    return 0;
}
