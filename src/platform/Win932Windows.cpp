// The windows part of the boundary: classes, windows, messages, texts,
// fonts, message boxes and the folder browser.
#include "platform/Win932.h"

#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/Handles.h"
#include "platform/StrictWindows.h"
#include "platform/SystemLibraries.h"

using win932::WideSystem;
using win932::Wide;

namespace {

// Integer resource ids in either width (never a named resource here).
LPCWSTR ResourceW(UINT_PTR id) { return MAKEINTRESOURCEW(id); }
LPCSTR ResourceA(UINT_PTR id) { return MAKEINTRESOURCEA(id); }

}  // namespace

bool RegisterClass932(const WindowClass932& c) {
    if (WideSystem()) {
        const std::wstring name = Wide(c.name);
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        if (GetClassInfoExW(c.instance, name.c_str(), &wc)) return true;
        wc = WNDCLASSEXW{};
        wc.cbSize = sizeof wc;
        wc.style = c.style;
        wc.lpfnWndProc = c.proc ? c.proc : DefDlgProcW;
        wc.cbWndExtra = c.proc ? c.windowExtra : DLGWINDOWEXTRA;
        wc.hInstance = c.instance;
        wc.hIcon = c.icon;
        wc.hCursor = c.cursor;
        wc.hbrBackground = c.background;
        wc.lpszClassName = name.c_str();
        return RegisterClassExW(&wc) != 0;
    }
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    if (GetClassInfoExA(c.instance, c.name, &wc)) return true;
    wc = WNDCLASSEXA{};
    wc.cbSize = sizeof wc;
    wc.style = c.style;
    wc.lpfnWndProc = c.proc ? c.proc : DefDlgProcA;
    wc.cbWndExtra = c.proc ? c.windowExtra : DLGWINDOWEXTRA;
    wc.hInstance = c.instance;
    wc.hIcon = c.icon;
    wc.hCursor = c.cursor;
    wc.hbrBackground = c.background;
    wc.lpszClassName = c.name;
    return RegisterClassExA(&wc) != 0;
}

HWND CreateWindowEx932(DWORD exStyle, const std::string& className, const std::string& title, DWORD style, int x,
                       int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance) {
    if (WideSystem())
        return CreateWindowExW(exStyle, Wide(className).c_str(), Wide(title).c_str(), style, x, y, width, height,
                               parent, menu, instance, nullptr);
    return CreateWindowExA(exStyle, className.c_str(), title.c_str(), style, x, y, width, height, parent, menu,
                           instance, nullptr);
}

namespace {

DWORD WINAPI MakeAndDropAWindow(void*) {
    HWND window = CreateWindowEx932(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr);
    if (window) DestroyWindow(window);
    return 0;
}

}  // namespace

bool PrepareDisplayAhead() {
    // Never on 95/98/Me: the runtime's locks (libgcc's) are made with
    // CreateSemaphoreW, a stub there, and hold only while the process has
    // one thread. (95 and 98 also make no thread without a place for its id.)
    if (!WideSystem()) return false;
    DWORD id = 0;
    DWORD* const idPlace = &id;
    if (!strict::Allows("CreateThread", idPlace ? 0 : 1)) return false;
    KernelObject thread(CreateThread(nullptr, 0, MakeAndDropAWindow, nullptr, 0, idPlace));
    return static_cast<bool>(thread);
}

HWND CreateDialogParam932(HINSTANCE instance, int templateId, HWND owner, DLGPROC proc, LPARAM param) {
    const auto id = static_cast<UINT_PTR>(templateId);
    return WideSystem() ? CreateDialogParamW(instance, ResourceW(id), owner, proc, param)
                        : CreateDialogParamA(instance, ResourceA(id), owner, proc, param);
}

LRESULT DefWindowProc932(HWND window, UINT message, WPARAM wp, LPARAM lp) {
    return WideSystem() ? DefWindowProcW(window, message, wp, lp) : DefWindowProcA(window, message, wp, lp);
}

LRESULT CallWindowProc932(WNDPROC procedure, HWND window, UINT message, WPARAM wp, LPARAM lp) {
    return WideSystem() ? CallWindowProcW(procedure, window, message, wp, lp)
                        : CallWindowProcA(procedure, window, message, wp, lp);
}

HICON LoadIcon932(HINSTANCE instance, int id) {
    const auto resource = static_cast<UINT_PTR>(id);
    return WideSystem() ? LoadIconW(instance, ResourceW(resource)) : LoadIconA(instance, ResourceA(resource));
}

HCURSOR LoadCursor932(HINSTANCE instance, LPCSTR id) {
    const auto resource = reinterpret_cast<UINT_PTR>(id);
    return WideSystem() ? LoadCursorW(instance, ResourceW(resource)) : LoadCursorA(instance, id);
}

LRESULT SendMessage932(HWND window, UINT message, WPARAM wp, LPARAM lp) {
    return WideSystem() ? SendMessageW(window, message, wp, lp) : SendMessageA(window, message, wp, lp);
}

BOOL PostMessage932(HWND window, UINT message, WPARAM wp, LPARAM lp) {
    return WideSystem() ? PostMessageW(window, message, wp, lp) : PostMessageA(window, message, wp, lp);
}

LONG_PTR GetWindowLongPtr932(HWND window, int index) {
    return WideSystem() ? GetWindowLongPtrW(window, index) : GetWindowLongPtrA(window, index);
}

LONG_PTR SetWindowLongPtr932(HWND window, int index, LONG_PTR value) {
    return WideSystem() ? SetWindowLongPtrW(window, index, value) : SetWindowLongPtrA(window, index, value);
}

ULONG_PTR SetClassLongPtr932(HWND window, int index, LONG_PTR value) {
    return WideSystem() ? SetClassLongPtrW(window, index, value) : SetClassLongPtrA(window, index, value);
}

BOOL GetMessage932(MSG& message) {
    return WideSystem() ? GetMessageW(&message, nullptr, 0, 0) : GetMessageA(&message, nullptr, 0, 0);
}

BOOL PeekMessage932(MSG& message, UINT remove, UINT first, UINT last) {
    return WideSystem() ? PeekMessageW(&message, nullptr, first, last, remove)
                        : PeekMessageA(&message, nullptr, first, last, remove);
}

BOOL IsDialogMessage932(HWND dialog, MSG& message) {
    return WideSystem() ? IsDialogMessageW(dialog, &message) : IsDialogMessageA(dialog, &message);
}

LRESULT DispatchMessage932(const MSG& message) {
    return WideSystem() ? DispatchMessageW(&message) : DispatchMessageA(&message);
}

BOOL SetWindowText932(HWND window, const std::string& text) {
    return WideSystem() ? SetWindowTextW(window, Wide(text).c_str()) : SetWindowTextA(window, text.c_str());
}

std::string GetWindowText932(HWND window) {
    if (!window) return {};
    if (WideSystem()) {
        const int length = GetWindowTextLengthW(window);
        if (length <= 0) return {};
        std::vector<wchar_t> buffer(static_cast<size_t>(length) + 2);
        const int got = GetWindowTextW(window, buffer.data(), static_cast<int>(buffer.size()));
        return win932::NarrowForDisplay(std::wstring_view(buffer.data(), got > 0 ? static_cast<size_t>(got) : 0));
    }
    const int length = GetWindowTextLengthA(window);
    if (length <= 0) return {};
    std::vector<char> buffer(static_cast<size_t>(length) + 2);
    const int got = GetWindowTextA(window, buffer.data(), static_cast<int>(buffer.size()));
    return std::string(buffer.data(), got > 0 ? static_cast<size_t>(got) : 0);
}

int DrawText932(HDC dc, const std::string& text, RECT& rect, UINT format) {
    if (WideSystem()) {
        const std::wstring wide = Wide(text);
        return DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &rect, format);
    }
    return DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &rect, format);
}

BOOL GetTextMetrics932(HDC dc, TEXTMETRICW& metrics) {
    if (WideSystem()) return GetTextMetricsW(dc, &metrics);
    TEXTMETRICA a{};
    if (!GetTextMetricsA(dc, &a)) return FALSE;
    metrics = TEXTMETRICW{};
    metrics.tmHeight = a.tmHeight;
    metrics.tmAscent = a.tmAscent;
    metrics.tmDescent = a.tmDescent;
    metrics.tmInternalLeading = a.tmInternalLeading;
    metrics.tmExternalLeading = a.tmExternalLeading;
    metrics.tmAveCharWidth = a.tmAveCharWidth;
    metrics.tmMaxCharWidth = a.tmMaxCharWidth;
    metrics.tmWeight = a.tmWeight;
    metrics.tmOverhang = a.tmOverhang;
    metrics.tmDigitizedAspectX = a.tmDigitizedAspectX;
    metrics.tmDigitizedAspectY = a.tmDigitizedAspectY;
    metrics.tmFirstChar = static_cast<unsigned char>(a.tmFirstChar);
    metrics.tmLastChar = static_cast<unsigned char>(a.tmLastChar);
    metrics.tmDefaultChar = static_cast<unsigned char>(a.tmDefaultChar);
    metrics.tmBreakChar = static_cast<unsigned char>(a.tmBreakChar);
    metrics.tmItalic = a.tmItalic;
    metrics.tmUnderlined = a.tmUnderlined;
    metrics.tmStruckOut = a.tmStruckOut;
    metrics.tmPitchAndFamily = a.tmPitchAndFamily;
    metrics.tmCharSet = a.tmCharSet;
    return TRUE;
}

namespace {

// The face name in its wide form, cut to what LOGFONT holds.
void CopyFace(const std::string& face, WCHAR (&out)[LF_FACESIZE]) {
    const std::wstring wide = Wide(face);
    const size_t n = std::min<size_t>(wide.size(), LF_FACESIZE - 1);
    wide.copy(out, n);
    out[n] = L'\0';
}

LOGFONTW WideFont(const LOGFONTA& a) {
    LOGFONTW w{};
    w.lfHeight = a.lfHeight;
    w.lfWidth = a.lfWidth;
    w.lfEscapement = a.lfEscapement;
    w.lfOrientation = a.lfOrientation;
    w.lfWeight = a.lfWeight;
    w.lfItalic = a.lfItalic;
    w.lfUnderline = a.lfUnderline;
    w.lfStrikeOut = a.lfStrikeOut;
    w.lfCharSet = a.lfCharSet;
    w.lfOutPrecision = a.lfOutPrecision;
    w.lfClipPrecision = a.lfClipPrecision;
    w.lfQuality = a.lfQuality;
    w.lfPitchAndFamily = a.lfPitchAndFamily;
    CopyFace(std::string(a.lfFaceName, strnlen(a.lfFaceName, LF_FACESIZE)), w.lfFaceName);
    return w;
}

int CALLBACK MarkFoundW(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM lp) {
    *reinterpret_cast<bool*>(lp) = true;
    return 0;
}

int CALLBACK MarkFoundA(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM lp) {
    *reinterpret_cast<bool*>(lp) = true;
    return 0;
}

}  // namespace

HFONT CreateFontIndirect932(const LOGFONTA& font) {
    if (WideSystem()) {
        const LOGFONTW wide = WideFont(font);
        return CreateFontIndirectW(&wide);
    }
    return CreateFontIndirectA(&font);
}

bool FontFamilyExists932(HDC dc, const std::string& face, BYTE charset) {
    bool found = false;
    if (WideSystem()) {
        LOGFONTW lf{};
        lf.lfCharSet = charset;
        CopyFace(face, lf.lfFaceName);
        EnumFontFamiliesExW(dc, &lf, MarkFoundW, reinterpret_cast<LPARAM>(&found), 0);
        return found;
    }
    LOGFONTA lf{};
    lf.lfCharSet = charset;
    lstrcpynA(lf.lfFaceName, face.c_str(), LF_FACESIZE);
    EnumFontFamiliesExA(dc, &lf, MarkFoundA, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

int MessageBox932(HWND owner, const std::string& text, const std::string& caption, UINT flags) {
    if (WideSystem()) return MessageBoxW(owner, Wide(text).c_str(), Wide(caption).c_str(), flags);
    return MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
}

bool BrowseForFolder932(HWND owner, const std::string& title, UINT flags, std::string& folder) {
    if (WideSystem()) {
        const std::wstring wideTitle = Wide(title);
        wchar_t display[MAX_PATH + 1] = {};
        BROWSEINFOW info{};
        info.hwndOwner = owner;
        info.pszDisplayName = display;
        info.lpszTitle = wideTitle.c_str();
        info.ulFlags = flags;
        CoTaskMem items(syslib::SHBrowseForFolderW(&info));
        if (!items) return false;
        wchar_t path[MAX_PATH + 1] = {};
        if (!syslib::SHGetPathFromIDListW(static_cast<LPITEMIDLIST>(items.get()), path)) return false;
        return win932::PathFromSystem(path, folder);
    }
    char display[MAX_PATH + 1] = {};
    BROWSEINFOA info{};
    info.hwndOwner = owner;
    info.pszDisplayName = display;
    info.lpszTitle = title.c_str();
    info.ulFlags = flags;
    CoTaskMem items(syslib::SHBrowseForFolderA(&info));
    if (!items) return false;
    char path[MAX_PATH + 1] = {};
    if (!syslib::SHGetPathFromIDListA(static_cast<LPITEMIDLIST>(items.get()), path)) return false;
    folder = path;
    return true;
}

