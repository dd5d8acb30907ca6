// The status list's accessible object: the list itself is the list box's
// standard object (Windows' proxy), its children are the lines, numbered from
// 1. Made anew for every WM_GETOBJECT, as Microsoft's "Create New Accessible
// Objects" shows; a client that keeps it after the list is gone is told so.
#include "status/status_accessible.h"

#include <oleacc.h>

#include <cstdlib>
#include <new>

#include "resource.h"
#include "status/line_items.h"
#include "status/status_list_parts.h"
#include "text/console.h"
#include "text/text.h"
#include "text/unicode_text.h"

static_assert(kStateSelected == STATE_SYSTEM_SELECTED && kStateFocused == STATE_SYSTEM_FOCUSED &&
                  kStateOffscreen == STATE_SYSTEM_OFFSCREEN && kStateFocusable == STATE_SYSTEM_FOCUSABLE &&
                  kStateSelectable == STATE_SYSTEM_SELECTABLE && kStateUnavailable == STATE_SYSTEM_UNAVAILABLE,
              "the lines' states are Active Accessibility's");

namespace {

// oleacc.dll is loaded when a screen reader first asks, not at start.
struct OleaccCalls {
    LRESULT(WINAPI* lresultFromObject)(REFIID, WPARAM, LPUNKNOWN);
    HRESULT(WINAPI* createStdAccessibleObject)(HWND, LONG, REFIID, void**);
};

const OleaccCalls& Oleacc() {
    static OleaccCalls calls;
    static bool loaded;
    if (loaded)
        return calls;
    loaded = true;
    HMODULE module = GetModuleHandleW(L"oleacc.dll");
    wchar_t path[MAX_PATH];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH - 12);
    if (module == nullptr && length > 0 && length < MAX_PATH - 12) {
        wcscpy(path + length, L"\\oleacc.dll");
        module = LoadLibraryW(path);  // kept for the process's life
    }
    if (module != nullptr) {
        calls.lresultFromObject = reinterpret_cast<decltype(calls.lresultFromObject)>(
            reinterpret_cast<void*>(GetProcAddress(module, "LresultFromObject")));
        calls.createStdAccessibleObject = reinterpret_cast<decltype(calls.createStdAccessibleObject)>(
            reinterpret_cast<void*>(GetProcAddress(module, "CreateStdAccessibleObject")));
    }
    if (calls.lresultFromObject == nullptr)
        ConsolePrint("Screen readers see the status list's items, not its lines: Active Accessibility is missing.\n");
    return calls;
}

bool Continued(size_t index, void*) {
    return IsStatusContinuation(static_cast<LRESULT>(index));
}

ListLayout LayoutOf(HWND list) {
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    return ListLayout{count > 0 ? static_cast<size_t>(count) : 0, Continued, nullptr};
}

VARIANT Child(long id) {
    VARIANT child;
    VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = id;
    return child;
}

// A line's items as screen readers are told of them: at most this many.
constexpr size_t kMaxLineItems = 64;

class StatusLines final : public IAccessible {
public:
    StatusLines(HWND list, IAccessible* standard) : list_(list), standard_(standard) {}
    ~StatusLines() {
        if (standard_ != nullptr)
            standard_->Release();
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr)
            return E_POINTER;
        *object = iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(IAccessible)
                      ? static_cast<IAccessible*>(this)
                      : nullptr;
        if (*object == nullptr)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

    // Readers ask through IAccessible; its dispatch interface is not offered.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        *parent = nullptr;
        if (!IsWindow(list_))
            return RPC_E_DISCONNECTED;
        return standard_ != nullptr ? standard_->get_accParent(parent) : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
        *count = IsWindow(list_) ? static_cast<LONG>(LineCount(LayoutOf(list_))) : 0;
        return IsWindow(list_) ? S_OK : RPC_E_DISCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
        *object = nullptr;
        long line = 0;
        if (HRESULT bad = Resolve(child, &line))
            return bad;
        // A line is a simple element: the caller asks this object about it.
        return line < 0 ? E_INVALIDARG : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        *name = nullptr;
        long line = 0;
        if (HRESULT bad = Resolve(child, &line))
            return bad;
        if (line < 0) {
            wchar_t* own = WideFromUtf8(GetTextUtf8(IDS_NAME_STATUS_LIST));
            *name = own != nullptr ? SysAllocString(own) : nullptr;
            free(own);
            return *name != nullptr ? S_OK : E_OUTOFMEMORY;
        }
        size_t first = 0, items = 0;
        ItemsOfLine(LayoutOf(list_), static_cast<size_t>(line), &first, &items);
        // The line's first item holds the line whole, after its kind word.
        const LRESULT length = SendMessageW(list_, LB_GETTEXTLEN, first, 0);
        if (length < 0)
            return E_FAIL;
        *name = SysAllocStringLen(nullptr, static_cast<UINT>(length));
        if (*name == nullptr)
            return E_OUTOFMEMORY;
        if (SendMessageW(list_, LB_GETTEXT, first, reinterpret_cast<LPARAM>(*name)) != length) {
            SysFreeString(*name);
            *name = nullptr;
            return E_FAIL;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        return Text(&IAccessible::get_accValue, child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
        return Text(&IAccessible::get_accDescription, child, text);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* text) override {
        return Text(&IAccessible::get_accHelp, child, text);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* text) override {
        return Text(&IAccessible::get_accKeyboardShortcut, child, text);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* text) override {
        return Text(&IAccessible::get_accDefaultAction, child, text);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
        *file = nullptr;
        *topic = 0;
        long line = 0;
        if (HRESULT bad = Resolve(child, &line))
            return bad;
        return line < 0 && standard_ != nullptr ? standard_->get_accHelpTopic(file, child, topic) : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        VariantInit(role);
        long line = 0;
        if (HRESULT bad = Resolve(child, &line))
            return bad;
        // A list, whatever the standard object says (Wine's calls it a client area).
        *role = Child(line < 0 ? ROLE_SYSTEM_LIST : ROLE_SYSTEM_LISTITEM);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        VariantInit(state);
        long line = 0;
        if (HRESULT bad = Resolve(child, &line))
            return bad;
        if (line < 0 && standard_ != nullptr)
            return standard_->get_accState(child, state);
        *state = Child(line < 0 ? OwnState() : StateOf(static_cast<size_t>(line)));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
        VariantInit(focus);
        if (!IsWindow(list_))
            return RPC_E_DISCONNECTED;
        if (GetFocus() != list_)
            return S_FALSE;
        const long line = LineOfItem(LayoutOf(list_), static_cast<long>(SendMessageW(list_, LB_GETCARETINDEX, 0, 0)));
        *focus = Child(line + 1);  // the list itself when no line has the caret
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
        VariantInit(selection);
        if (!IsWindow(list_))
            return RPC_E_DISCONNECTED;
        const long line = LineOfItem(LayoutOf(list_), static_cast<long>(SendMessageW(list_, LB_GETCURSEL, 0, 0)));
        if (line < 0)
            return S_FALSE;
        *selection = Child(line + 1);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override {
        long line = 0;
        if (HRESULT bad = Resolve(child, &line))
            return bad;
        if (line < 0)
            return standard_ != nullptr ? standard_->accSelect(flags, child) : E_INVALIDARG;
        // One line at a time: the list selects one item.
        if (flags & (SELFLAG_EXTENDSELECTION | SELFLAG_REMOVESELECTION))
            return E_INVALIDARG;
        size_t first = 0, items = 0;
        ItemsOfLine(LayoutOf(list_), static_cast<size_t>(line), &first, &items);
        if (flags & SELFLAG_TAKEFOCUS)
            SetFocus(list_);
        // Chosen as with a click: the list box's selection, then its news.
        if ((flags & (SELFLAG_TAKESELECTION | SELFLAG_ADDSELECTION)) &&
            SendMessageW(list_, LB_SETCURSEL, first, 0) != LB_ERR)
            SendMessageW(GetParent(list_), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list_), LBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(list_));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override {
        *left = *top = *width = *height = 0;
        long line = 0;
        if (HRESULT bad = Resolve(child, &line))
            return bad;
        if (line < 0 && standard_ != nullptr)
            return standard_->accLocation(left, top, width, height, child);
        RECT area = {};
        if (line < 0) {
            GetClientRect(list_, &area);
        } else {
            size_t first = 0, items = 0;
            ItemsOfLine(LayoutOf(list_), static_cast<size_t>(line), &first, &items);
            for (size_t i = first; i < first + items; ++i) {
                RECT item = {};
                if (SendMessageW(list_, LB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&item)) != LB_ERR)
                    UnionRect(&area, &area, &item);
            }
        }
        MapWindowPoints(list_, nullptr, reinterpret_cast<POINT*>(&area), 2);
        *left = area.left;
        *top = area.top;
        *width = area.right - area.left;
        *height = area.bottom - area.top;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        VariantInit(end);
        long line = 0;
        if (HRESULT bad = Resolve(start, &line))
            return bad;
        const size_t count = LineCount(LayoutOf(list_));
        long to = -1;
        if (line < 0) {
            // From the list: into its lines; its siblings are the standard object's.
            if (direction == NAVDIR_FIRSTCHILD || direction == NAVDIR_LASTCHILD)
                to = StepLine(count, -1, direction == NAVDIR_FIRSTCHILD ? LineStep::First : LineStep::Last);
            else
                return standard_ != nullptr ? standard_->accNavigate(direction, start, end) : S_FALSE;
        } else if (direction == NAVDIR_NEXT || direction == NAVDIR_DOWN) {
            to = StepLine(count, line, LineStep::Next);
        } else if (direction == NAVDIR_PREVIOUS || direction == NAVDIR_UP) {
            to = StepLine(count, line, LineStep::Previous);
        } else if (direction == NAVDIR_FIRSTCHILD || direction == NAVDIR_LASTCHILD) {
            return E_INVALIDARG;
        }
        if (to < 0)
            return S_FALSE;
        *end = Child(to + 1);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* hit) override {
        VariantInit(hit);
        if (!IsWindow(list_))
            return RPC_E_DISCONNECTED;
        POINT point = {x, y};
        RECT client = {};
        GetClientRect(list_, &client);
        if (!ScreenToClient(list_, &point) || !PtInRect(&client, point))
            return S_FALSE;
        const LRESULT found = SendMessageW(list_, LB_ITEMFROMPOINT, 0, MAKELPARAM(point.x, point.y));
        RECT item = {};
        long line = -1;
        if (HIWORD(found) == 0 &&
            SendMessageW(list_, LB_GETITEMRECT, LOWORD(found), reinterpret_cast<LPARAM>(&item)) != LB_ERR &&
            PtInRect(&item, point))
            line = LineOfItem(LayoutOf(list_), static_cast<long>(LOWORD(found)));
        *hit = Child(line + 1);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        long line = 0;
        if (HRESULT bad = Resolve(child, &line))
            return bad;
        return line < 0 && standard_ != nullptr ? standard_->accDoDefaultAction(child) : DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return DISP_E_MEMBERNOTFOUND; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return DISP_E_MEMBERNOTFOUND; }

private:
    // The line (from 0) that `child` names, -1 for the list itself; an error
    // for anything else, or when the list is gone.
    HRESULT Resolve(const VARIANT& child, long* line) const {
        if (!IsWindow(list_))
            return RPC_E_DISCONNECTED;
        if (child.vt != VT_I4)
            return E_INVALIDARG;
        *line = child.lVal - 1;
        if (child.lVal == CHILDID_SELF)
            return S_OK;
        return child.lVal > 0 && static_cast<size_t>(child.lVal) <= LineCount(LayoutOf(list_)) ? S_OK : E_INVALIDARG;
    }

    // A text the list itself may have (from the standard object, with what
    // Windows was told of it); a line has none but its name.
    HRESULT Text(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*), VARIANT child, BSTR* text) {
        *text = nullptr;
        long line = 0;
        if (HRESULT bad = Resolve(child, &line))
            return bad;
        return line < 0 && standard_ != nullptr ? (standard_->*get)(child, text) : S_FALSE;
    }

    long OwnState() const {
        return STATE_SYSTEM_FOCUSABLE | (GetFocus() == list_ ? STATE_SYSTEM_FOCUSED : 0) |
               (IsWindowEnabled(list_) ? 0 : STATE_SYSTEM_UNAVAILABLE) |
               (IsWindowVisible(list_) ? 0 : STATE_SYSTEM_INVISIBLE);
    }

    long StateOf(size_t line) const {
        size_t first = 0, items = 0;
        ItemsOfLine(LayoutOf(list_), line, &first, &items);
        ItemView views[kMaxLineItems] = {};
        const LRESULT caret = SendMessageW(list_, LB_GETCARETINDEX, 0, 0);
        RECT client = {};
        GetClientRect(list_, &client);
        const size_t shown = items < kMaxLineItems ? items : kMaxLineItems;
        for (size_t i = 0; i < shown; ++i) {
            const WPARAM index = first + i;
            RECT item = {}, inside = {};
            views[i].selected = SendMessageW(list_, LB_GETSEL, index, 0) > 0;
            views[i].caret = caret == static_cast<LRESULT>(index);
            views[i].inView = SendMessageW(list_, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item)) != LB_ERR &&
                              IntersectRect(&inside, &item, &client);
        }
        const long state = LineState(views, shown, GetFocus() == list_, IsWindowEnabled(list_) != FALSE);
        return state | (IsWindowVisible(list_) ? 0 : STATE_SYSTEM_INVISIBLE);
    }

    LONG references_ = 1;
    HWND list_;
    IAccessible* standard_;  // owned; null where Windows gives none (Wine)
};

}  // namespace

LRESULT AnswerStatusListObject(HWND list, WPARAM flags, LPARAM objectId, bool* answered) {
    *answered = false;
    // The identifier is a DWORD: sign extension on 64-bit Windows must not count.
    if (static_cast<DWORD>(objectId) != static_cast<DWORD>(OBJID_CLIENT))
        return 0;
    const OleaccCalls& calls = Oleacc();
    if (calls.lresultFromObject == nullptr)
        return 0;
    // The object is handed across processes through COM.
    static const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    (void)com;
    IAccessible* standard = nullptr;
    if (calls.createStdAccessibleObject == nullptr ||
        FAILED(calls.createStdAccessibleObject(list, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&standard))))
        standard = nullptr;
    StatusLines* lines = new (std::nothrow) StatusLines(list, standard);
    if (lines == nullptr) {
        if (standard != nullptr)
            standard->Release();
        return 0;
    }
    const LRESULT result = calls.lresultFromObject(__uuidof(IAccessible), flags, lines);
    // LresultFromObject took references of its own; the one made here goes.
    lines->Release();
    // A failure comes back as its (negative) error code.
    if (result <= 0) {
        static bool said;
        if (!said)
            ConsolePrint("Screen readers see the status list's items, not its lines (error 0x%08lx).\n",
                         static_cast<unsigned long>(result));
        said = true;
        return 0;
    }
    *answered = true;
    return result;
}

void TellStatusLineSelected(HWND list, LRESULT item) {
    const long line = LineOfItem(LayoutOf(list), static_cast<long>(item));
    if (line < 0)
        return;
    NotifyWinEvent(EVENT_OBJECT_SELECTION, list, OBJID_CLIENT, line + 1);
    if (GetFocus() == list)
        NotifyWinEvent(EVENT_OBJECT_FOCUS, list, OBJID_CLIENT, line + 1);
}
