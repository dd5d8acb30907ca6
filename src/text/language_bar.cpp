#include "text/language_bar.h"

#include <commctrl.h>

#include <cstdlib>
#include <cstring>

#include "resource.h"
#include "text/accessible_names.h"
#include "text/text.h"

namespace {

constexpr unsigned kMaxLanguages = 16;

// The language table's primary language ids, in toolbar order.
uint16_t g_languageIds[kMaxLanguages];
unsigned g_languageCount;
HFONT g_barFont;  // UI thread only; the captions' font at the window's DPI

const unsigned char* LoadRawResource(int id, DWORD* size) {
    const HMODULE module = GetModuleHandleA(nullptr);
    const HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10) /* RT_RCDATA */);
    const HGLOBAL loaded = resource != nullptr ? LoadResource(module, resource) : nullptr;
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    *size = data != nullptr ? SizeofResource(module, resource) : 0;
    return static_cast<const unsigned char*>(data);
}

// The captions are NUL-terminated strings followed by one more NUL; their
// number is the NUL count without that last byte.
unsigned CountCaptions(const unsigned char* captions, DWORD size) {
    unsigned count = 0;
    for (DWORD i = 0; i + 1 < size; ++i)
        if (captions[i] == '\0')
            ++count;
    return count;
}

constexpr UINT_PTR kKeysSubclass = 1;
// What screen readers call the buttons, in the language table's order (en,
// nl, ..): each language by its own name, the same whatever is chosen.
constexpr const char* kButtonNames[] = {"English", "Nederlands", "No language"};

int ButtonCount(HWND toolbar) {
    return static_cast<int>(SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0));
}

int CheckedButton(HWND toolbar) {
    for (int i = 0; i < ButtonCount(toolbar); ++i)
        if (SendMessageA(toolbar, TB_ISBUTTONCHECKED, static_cast<WPARAM>(i), 0))
            return i;
    return 0;
}

// Chooses the button as a click does: checked, and its command to the window.
void ChooseButton(HWND toolbar, int index) {
    if (index < 0 || index >= ButtonCount(toolbar))
        return;
    SendMessageA(toolbar, TB_CHECKBUTTON, static_cast<WPARAM>(index), TRUE);
    SendMessageA(GetParent(toolbar), WM_COMMAND, MAKEWPARAM(index, BN_CLICKED), reinterpret_cast<LPARAM>(toolbar));
}

// Makes button `index` the hot one and tells screen readers that it has the
// focus: the toolbar itself does not say so for a hot item, so the
// language under the cursor would go unspoken.
void SetHotButton(HWND toolbar, int index) {
    SendMessageA(toolbar, TB_SETHOTITEM, static_cast<WPARAM>(index), 0);
    if (index >= 0 && GetFocus() == toolbar)
        NotifyWinEvent(EVENT_OBJECT_FOCUS, toolbar, OBJID_CLIENT, index + 1);
}

// The bar is one tab stop: the arrows move the hot button, Space or Enter
// chooses it, as in a group of radio buttons.
LRESULT CALLBACK LanguageBarKeys(HWND toolbar, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    switch (message) {
        case WM_GETDLGCODE: {
            // Enter too, or the dialog manager takes it for the window.
            const MSG* key = reinterpret_cast<const MSG*>(lParam);
            const bool enter = key != nullptr && key->message == WM_KEYDOWN && key->wParam == VK_RETURN;
            return DLGC_WANTARROWS | (enter ? DLGC_WANTMESSAGE : 0);
        }
        case WM_SETFOCUS: {
            const LRESULT result = DefSubclassProc(toolbar, message, wParam, lParam);
            SetHotButton(toolbar, CheckedButton(toolbar));
            return result;
        }
        case WM_KILLFOCUS:
            SendMessageA(toolbar, TB_SETHOTITEM, static_cast<WPARAM>(-1), 0);
            break;
        case WM_KEYDOWN: {
            const int count = ButtonCount(toolbar);
            int hot = static_cast<int>(SendMessageA(toolbar, TB_GETHOTITEM, 0, 0));
            if (hot < 0 || hot >= count)
                hot = CheckedButton(toolbar);
            if (wParam == VK_LEFT || wParam == VK_UP || wParam == VK_RIGHT || wParam == VK_DOWN) {
                const int step = wParam == VK_LEFT || wParam == VK_UP ? count - 1 : 1;
                if (count > 0)
                    SetHotButton(toolbar, (hot + step) % count);
                return 0;
            }
            if (wParam == VK_SPACE || wParam == VK_RETURN) {
                ChooseButton(toolbar, hot);
                return 0;
            }
            break;
        }
        case WM_CHAR:
            if (wParam == ' ' || wParam == '\r')
                return 0;
            break;
        case WM_NCDESTROY:
            RemoveWindowSubclass(toolbar, LanguageBarKeys, kKeysSubclass);
            break;
        default:
            break;
    }
    return DefSubclassProc(toolbar, message, wParam, lParam);
}

}  // namespace

void SetupLanguageBar(HWND toolbar) {
    DWORD captionsSize = 0;
    const unsigned char* captions = LoadRawResource(IDR_LANGUAGE_NAMES, &captionsSize);
    DWORD idsSize = 0;
    const unsigned char* ids = LoadRawResource(IDR_LANGUAGE_IDS, &idsSize);
    unsigned count = captions != nullptr ? CountCaptions(captions, captionsSize) : 0;
    if (count > kMaxLanguages)
        count = kMaxLanguages;
    if (count > idsSize / sizeof(uint16_t))
        count = idsSize / sizeof(uint16_t);

    if (count > 0 && captions[captionsSize - 1] == '\0')
        SendMessageA(toolbar, TB_ADDSTRINGA, 0, reinterpret_cast<LPARAM>(captions));

    TBBUTTON buttons[kMaxLanguages] = {};
    for (unsigned i = 0; i < count; ++i) {
        buttons[i].iBitmap = I_IMAGENONE;
        buttons[i].idCommand = static_cast<int>(i);
        buttons[i].fsState = TBSTATE_ENABLED;
        buttons[i].fsStyle = BTNS_CHECKGROUP;
        buttons[i].iString = static_cast<INT_PTR>(i);
    }
    SendMessageA(toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageA(toolbar, TB_SETIMAGELIST, 0, 0);
    SendMessageA(toolbar, TB_ADDBUTTONSA, count, reinterpret_cast<LPARAM>(buttons));

    g_languageCount = count;
    for (unsigned i = 0; i < count; ++i)
        memcpy(&g_languageIds[i], ids + i * sizeof(uint16_t), sizeof(uint16_t));

    const uint16_t userLanguage = GetUserDefaultUILanguage() & 0x3FF;
    for (unsigned i = 0; i < count; ++i) {
        if (g_languageIds[i] == userLanguage) {
            SetCurrentLanguage(g_languageIds[i]);
            SendMessageA(toolbar, TB_CHECKBUTTON, i, TRUE);
        }
    }
    if (GetCurrentLanguage() == 0xFFFF) {
        SetCurrentLanguage(count > 0 ? g_languageIds[0] : 0x0009);
        SendMessageA(toolbar, TB_CHECKBUTTON, 0, TRUE);
    }
    SetWindowSubclass(toolbar, LanguageBarKeys, kKeysSubclass, 0);
}

void NameLanguageButtons(HWND toolbar) {
    NameControlPart(toolbar, CHILDID_SELF, GetText(IDS_NAME_LANGUAGE_BAR));
    for (unsigned i = 0; i < g_languageCount && i < sizeof(kButtonNames) / sizeof(kButtonNames[0]); ++i)
        NameControlPart(toolbar, i + 1, kButtonNames[i]);
}

void SelectLanguage(int index) {
    if (index < 0 || static_cast<unsigned>(index) >= g_languageCount)
        return;
    SetCurrentLanguage(g_languageIds[index]);
}

void ScaleLanguageBar(HWND toolbar, unsigned dpi) {
    // The toolbar's own font is the icon-title font at the system's DPI (under
    // Wine, at 96 dpi whatever the DPI): the program's is that font's face at
    // its size for 96 dpi, scaled to the window's DPI.
    using ForDpiCall = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);
    const FARPROC found = GetProcAddress(GetModuleHandleA("user32.dll"), "SystemParametersInfoForDpi");
    ForDpiCall forDpi = nullptr;
    static_assert(sizeof(forDpi) == sizeof(found), "function pointers of one size");
    memcpy(&forDpi, &found, sizeof(forDpi));
    LOGFONTW font = {};
    if (forDpi == nullptr || !forDpi(SPI_GETICONTITLELOGFONT, sizeof(font), &font, 0, 96)) {
        // Windows before 10 (1607): the face of the system's font, at the
        // size Windows gives it at 96 dpi (9 points).
        if (!SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof(font), &font, 0))
            return;
        font.lfHeight = -12;
    }
    font.lfHeight = MulDiv(font.lfHeight, static_cast<int>(dpi), 96);
    const HFONT made = CreateFontIndirectW(&font);
    if (made == nullptr)
        return;
    SendMessageA(toolbar, WM_SETFONT, reinterpret_cast<WPARAM>(made), TRUE);
    // The buttons are sized for the captions as the program draws them.
    const int height = MulDiv(22, static_cast<int>(dpi), 96);
    SendMessageA(toolbar, TB_SETBUTTONWIDTH, 0, MAKELPARAM(height, height));
    SendMessageA(toolbar, TB_SETBUTTONSIZE, 0, MAKELPARAM(height, height));
    SendMessageA(toolbar, TB_AUTOSIZE, 0, 0);
    if (g_barFont != nullptr)
        DeleteObject(g_barFont);
    g_barFont = made;
}

LRESULT DrawLanguageButton(const NMTBCUSTOMDRAW* draw) {
    if (draw->nmcd.dwDrawStage == CDDS_PREPAINT)
        return CDRF_NOTIFYITEMDRAW;
    if (draw->nmcd.dwDrawStage != CDDS_ITEMPREPAINT || g_barFont == nullptr)
        return CDRF_DODEFAULT;
    char caption[32];
    const HWND toolbar = draw->nmcd.hdr.hwndFrom;
    const WPARAM command = draw->nmcd.dwItemSpec;
    const LRESULT length = SendMessageA(toolbar, TB_GETBUTTONTEXTA, command, 0);
    if (length < 0 || length >= static_cast<LRESULT>(sizeof(caption)) ||
        SendMessageA(toolbar, TB_GETBUTTONTEXTA, command, reinterpret_cast<LPARAM>(caption)) != length)
        return CDRF_DODEFAULT;
    const HDC dc = draw->nmcd.hdc;
    RECT rect = draw->nmcd.rc;
    // The chosen language is framed in the highlight colour; the one under
    // the pointer is raised, as a flat toolbar shows it.
    if (draw->nmcd.uItemState & (CDIS_CHECKED | CDIS_SELECTED))
        FrameRect(dc, &rect, GetSysColorBrush(COLOR_HIGHLIGHT));
    else if (draw->nmcd.uItemState & CDIS_HOT)
        DrawEdge(dc, &rect, BDR_RAISEDINNER, BF_RECT);
    const HGDIOBJ oldFont = SelectObject(dc, g_barFont);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawTextA(dc, caption, static_cast<int>(length), &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
    return CDRF_SKIPDEFAULT;
}
