#include "screen_reader.h"

#include <oleacc.h>

#include <stdio.h>

#include <functional>
#include <vector>

#include "accessible_read.h"
#include "system_facts.h"
#include "wide_files.h"

namespace {

// The names the wizard gives its controls for screen readers, in English
// and Dutch; a reader must hear one of the two.
struct ExpectedName {
    int control;
    const char* what;
    const char* en;
    const char* nl;
};
const ExpectedName kExpectedNames[] = {
    {1009, "image path", "Image file to write", "Te schrijven diskettebeeld"},
    {106, "the image file button", "Choose an image file", "Kies een diskettebeeld"},
    {1012, "drive list", "Removable drives", "Verwisselbare stations"},
    {1018, "status list", "Status of the checks and the write", "Status van de controles en het schrijven"},
    {1017, "progress bar", "Progress of the write", "Voortgang van het schrijven"},
    {2002, "pane list", "Steps", "Stappen"},
    {1014, "language bar", "Language", "Taal"},
    {4001, "Reboot text", "Outcome", "Resultaat"},
};
const int kStart = 111, kStatusList = 1018, kRebootText = 4001;

// UI Automation's client interfaces, as far as the check calls them: the
// methods before those it calls are declared to keep the order of
// UIAutomationClient.idl (mingw-w64's header does not declare them).
struct UiaElementArray;
struct UiaElement : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetFocus() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRuntimeId(void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindFirst(int, void*, void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindAll(int scope, IUnknown* condition, UiaElementArray** found) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindFirstBuildCache(int, void*, void*, void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindAllBuildCache(int, void*, void*, void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE BuildUpdatedCache(void*, void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurrentPropertyValue(int property, VARIANT* value) = 0;
};
struct UiaElementArray : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Length(int* length) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetElement(int index, UiaElement** element) = 0;
};
struct Uia : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CompareElements(void*, void*, BOOL*) = 0;
    virtual HRESULT STDMETHODCALLTYPE CompareRuntimeIds(void*, void*, BOOL*) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRootElement(void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE ElementFromHandle(HWND window, UiaElement** element) = 0;
    virtual HRESULT STDMETHODCALLTYPE ElementFromPoint(POINT, void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFocusedElement(void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRootElementBuildCache(void*, void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE ElementFromHandleBuildCache(HWND, void*, void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE ElementFromPointBuildCache(POINT, void*, void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFocusedElementBuildCache(void*, void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateTreeWalker(void*, void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ControlViewWalker(void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ContentViewWalker(void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_RawViewWalker(void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_RawViewCondition(void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ControlViewCondition(void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ContentViewCondition(void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateCacheRequest(void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateTrueCondition(IUnknown** condition) = 0;
};
const CLSID kCuiAutomation = {0xff48dba4, 0x60ef, 0x4201, {0xaa, 0x87, 0x54, 0x10, 0x3e, 0xef, 0x59, 0x4e}};
const IID kIUiAutomation = {0x30cbe57d, 0xd9d0, 0x452a, {0xab, 0x13, 0x7a, 0xc5, 0xac, 0x48, 0x25, 0xee}};
const int kUiaName = 30005, kUiaControlType = 30003, kUiaHelpText = 30013;
const int kTreeScopeChildren = 2;

struct ControlSearch {
    int id;
    HWND found;
};

BOOL CALLBACK FindById(HWND child, LPARAM param) {
    ControlSearch* search = (ControlSearch*)param;
    if (GetDlgCtrlID(child) != search->id)
        return TRUE;
    search->found = child;
    return FALSE;
}

HWND FindControl(HWND main, int id) {
    ControlSearch search = {id, nullptr};
    EnumChildWindows(main, FindById, (LPARAM)&search);
    return search.found;
}

// UI Automation's name, control type and help text of `control`.
std::string ReadUia(Uia* uia, HWND control, std::string* name) {
    UiaElement* element = nullptr;
    if (!uia || FAILED(uia->ElementFromHandle(control, &element)) || !element)
        return "not read";
    std::string found;
    VARIANT value;
    VariantInit(&value);
    if (SUCCEEDED(element->GetCurrentPropertyValue(kUiaName, &value)) && value.vt == VT_BSTR)
        *name = Utf8(value.bstrVal);
    VariantClear(&value);
    if (SUCCEEDED(element->GetCurrentPropertyValue(kUiaControlType, &value)) && value.vt == VT_I4)
        found = "control type " + std::to_string(value.lVal);
    VariantClear(&value);
    if (SUCCEEDED(element->GetCurrentPropertyValue(kUiaHelpText, &value)) && value.vt == VT_BSTR &&
        SysStringLen(value.bstrVal) > 0)
        found += ", help text \"" + Utf8(value.bstrVal) + "\"";
    VariantClear(&value);
    element->Release();
    return "\"" + *name + "\", " + found;
}

// A missing name fails on Windows; under Wine it is reported only.
void Missing(std::string* failure, const std::string& what) {
    if (what.empty())
        return;
    *failure += (failure->empty() ? "" : "; ") + what;
}

// The name a reader must hear for a status line the status verb gives as
// "Kind<TAB>text": the text, after its kind word in either language for an
// Error or Warning.
bool HeardAsSaid(const std::string& heard, const std::string& said) {
    const size_t tab = said.find('\t');
    if (tab == std::string::npos)
        return false;
    const std::string kind = said.substr(0, tab), text = said.substr(tab + 1);
    if (kind == "Ok")
        return heard == text;
    for (const char* word : kind == "Error" ? std::vector<const char*>{"Error: ", "Fout: "}
                                            : std::vector<const char*>{"Warning: ", "Waarschuwing: "})
        if (heard == word + text)
            return true;
    return false;
}

// The status verb's lines, one a line.
std::vector<std::string> SaidLines(const std::string& statusLines) {
    std::vector<std::string> lines;
    for (size_t from = 0, end; from < statusLines.size(); from = end + 1) {
        end = statusLines.find('\n', from);
        if (end == std::string::npos)
            end = statusLines.size();
        lines.push_back(statusLines.substr(from, end - from));
    }
    return lines;
}

// UI Automation's children of `control` (through its proxy of Active
// Accessibility): how many, and their names; -1 when they could not be read.
int UiaChildren(Uia* uia, HWND control, std::vector<std::string>* names) {
    UiaElement* element = nullptr;
    IUnknown* all = nullptr;
    UiaElementArray* found = nullptr;
    int length = -1;
    if (uia && SUCCEEDED(uia->ElementFromHandle(control, &element)) && element &&
        SUCCEEDED(uia->CreateTrueCondition(&all)) && all &&
        SUCCEEDED(element->FindAll(kTreeScopeChildren, all, &found)) && found && SUCCEEDED(found->get_Length(&length)))
        for (int i = 0; i < length; ++i) {
            UiaElement* child = nullptr;
            VARIANT value;
            VariantInit(&value);
            if (SUCCEEDED(found->GetElement(i, &child)) && child &&
                SUCCEEDED(child->GetCurrentPropertyValue(kUiaName, &value)) && value.vt == VT_BSTR)
                names->push_back(Utf8(value.bstrVal));
            VariantClear(&value);
            if (child)
                child->Release();
        }
    for (IUnknown* object : {(IUnknown*)found, all, (IUnknown*)element})
        if (object)
            object->Release();
    return length;
}

// Reads the status list's lines both ways against the wizard's own.
void ReadStatusLines(Uia* uia, HWND list, const std::function<std::string()>& statusLines, FieldReport* report,
                     std::string* failure, std::string* uiaFailure) {
    // Read between two equal answers of the wizard: its last check run may
    // still be filling the list.
    std::string before = statusLines(), after;
    AccessibleRead acc = {};
    for (int tries = 0; tries < 20 && before != after; ++tries) {
        if (tries > 0)
            before = after;
        acc = list ? ReadAccessible(list) : AccessibleRead{};
        after = statusLines();
    }
    const std::vector<std::string> said = SaidLines(after);
    report->screenReader.push_back({"Status lines a reader goes through", std::to_string(acc.children.size()) + " of " +
                                                                             std::to_string(said.size())});
    if (acc.children.size() != said.size())
        Missing(failure, "the status list gives " + std::to_string(acc.children.size()) + " lines for " +
                             std::to_string(said.size()));
    for (size_t i = 0; i < acc.children.size(); ++i) {
        const AccessibleItem& line = acc.children[i];
        char facts[64];
        snprintf(facts, sizeof facts, "role %ld, state 0x%lX: ", line.role, line.state);
        report->screenReader.push_back({"Status line " + std::to_string(i + 1), facts + line.name});
        if (i < said.size() && !HeardAsSaid(line.name, said[i]))
            Missing(failure, "status line " + std::to_string(i + 1) + " is heard as \"" + line.name + "\"");
        if (line.role != ROLE_SYSTEM_LISTITEM || (line.state & (STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_SELECTABLE)) !=
                                                      (STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_SELECTABLE))
            Missing(failure, "status line " + std::to_string(i + 1) + " is no selectable list item (" + facts + ")");
    }
    std::vector<std::string> names;
    const int uiaLines = UiaChildren(uia, list, &names);
    report->screenReader.push_back({"Status lines through UI Automation",
                                    uiaLines < 0 ? "not read" : std::to_string(uiaLines) + " of " + std::to_string(said.size())});
    bool same = (size_t)uiaLines == said.size() && names.size() == said.size();
    for (size_t i = 0; same && i < said.size(); ++i)
        same = HeardAsSaid(names[i], said[i]);
    if (!same)
        Missing(uiaFailure, "UI Automation does not give the status lines as the list shows them");
}

}  // namespace

bool StartFocusWatch(DWORD pid) {
    return StartFocusEvents(pid);
}

std::string StopFocusWatch(FieldReport* report) {
    std::vector<FocusEvent> seen;
    const bool hooked = StopFocusEvents(&seen);
    std::string events, failure;
    bool outcome = false;
    for (const FocusEvent& event : seen) {
        events += (events.empty() ? "" : ", ") + std::to_string(event.control) +
                  (event.child ? "/" + std::to_string(event.child) : "");
        outcome = outcome || event.control == kRebootText;
    }
    report->screenReader.push_back({"Focus events (control/line)", hooked ? (events.empty() ? "none" : events)
                                                                           : "the hook could not be set"});
    if (!outcome)
        failure = "no focus event for the outcome after the write (the Reboot text)";
    if (!failure.empty() && UnderWine()) {
        report->screenReader.push_back({"Under Wine", "focus events unavailable: " + failure});
        return "";
    }
    return failure;
}

std::string HearArrowMove(HWND main, FieldReport* report) {
    const HWND list = FindControl(main, kStatusList);
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    const AccessibleRead before = list ? ReadAccessible(list) : AccessibleRead{};
    std::string failure;
    // Up from the line the write left selected; down from the first.
    const WPARAM key = before.selection > 1 ? VK_UP : VK_DOWN;
    const long expected = before.selection > 1 ? before.selection - 1 : before.selection + 1;
    DWORD_PTR answer = 0;
    const size_t from = FocusEventCount();
    FocusEvent event = {0, 0};
    // The focus as the dialog gives it, then the key, posted as the keyboard would.
    const bool sent = list && SendMessageTimeoutW(main, WM_NEXTDLGCTL, (WPARAM)list, TRUE, SMTO_ABORTIFHUNG, 5000, &answer) &&
                      PostMessageW(list, WM_KEYDOWN, key, 1) && PostMessageW(list, WM_KEYUP, key, 0xC0000001);
    size_t next = from;
    bool heard = false;
    // The list's own event for its focus may come first: the move's names the line moved to.
    while (sent && !heard && WaitFocusEvent(kStatusList, next, 5000, &event)) {
        heard = event.child == expected;
        next = FocusEventCount();
    }
    const AccessibleRead after = list ? ReadAccessible(list) : AccessibleRead{};
    report->screenReader.push_back(
        {"Focus of an arrow move in the status list",
         !sent ? "the key could not be sent"
               : std::string(key == VK_UP ? "Up" : "Down") + " from line " + std::to_string(before.selection) +
                     ": focus event for line " + (heard ? std::to_string(event.child) : "(none)") +
                     ", the list's focus read back on line " + std::to_string(after.focus)});
    if (!heard || (after.read && after.focus != expected))
        Missing(&failure, "no focus event for line " + std::to_string(expected) + " after an arrow move in the status list");
    if (SUCCEEDED(com))
        CoUninitialize();
    return failure;
}

std::string ReadScreenReaderNames(HWND main, const std::function<std::string()>& statusLines, FieldReport* report) {
    const bool wine = UnderWine();
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    Uia* uia = nullptr;
    if (FAILED(CoCreateInstance(kCuiAutomation, nullptr, CLSCTX_INPROC_SERVER, kIUiAutomation, (void**)&uia)))
        uia = nullptr;
    std::string failure;
    for (const ExpectedName& expected : kExpectedNames) {
        const HWND control = FindControl(main, expected.control);
        if (!control) {
            Missing(&failure, std::string("no ") + expected.what);
            continue;
        }
        const AccessibleRead acc = ReadAccessible(control);
        std::string uiaName;
        const std::string uiaRead = ReadUia(uia, control, &uiaName);
        char line[64];
        snprintf(line, sizeof line, ", role %ld, state 0x%lX", acc.self.role, acc.self.state);
        report->screenReader.push_back(
            {expected.what, acc.read ? "\"" + acc.self.name + "\"" + line + "; UI Automation: " + uiaRead
                                     : "not read through Active Accessibility; UI Automation: " + uiaRead});
        for (const std::string& name : {acc.self.name, uiaName})
            if (name != expected.en && name != expected.nl) {
                Missing(&failure, std::string(expected.what) + " not named \"" + expected.en + "\" (read \"" + name + "\")");
                break;
            }
    }
    const HWND start = FindControl(main, kStart);
    const AccessibleRead startRead = start ? ReadAccessible(start) : AccessibleRead{};
    report->screenReader.push_back({"Start's description and help", "\"" + startRead.description + "\", \"" + startRead.help + "\""});
    // The lines are the program's own object, which Wine hands over too;
    // only UI Automation's view of them is excused there.
    std::string lines, uiaLines;
    ReadStatusLines(uia, FindControl(main, kStatusList), statusLines, report, &lines, &uiaLines);
    if (uia)
        uia->Release();
    if (SUCCEEDED(com))
        CoUninitialize();
    if (wine) {
        Missing(&failure, uiaLines);
        if (!failure.empty())
            report->screenReader.push_back({"Under Wine", "unavailable (Wine's services for screen readers are "
                                                          "largely stubs): " + failure});
        return lines;
    }
    Missing(&failure, lines);
    Missing(&failure, uiaLines);
    return failure;
}
