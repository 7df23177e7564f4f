// probe.exe: looks at and drives the windows of a running installer, from a
// second process under the same wineserver.  Texts are printed in UTF-8, one
// line each; the exit status is 0 on success, 1 when the window or control is
// not there (or a wait ran out), 2 for a wrong command line.
//
//   probe list                      every visible top-level window:
//                                   hwnd<TAB>class<TAB>title
//   probe wait TITLE [MS]           waits up to MS (default 15000) for a visible
//                                   top-level window TITLE; prints its hwnd
//   probe gone TITLE [MS]           waits up to MS for no window TITLE
//   probe controls TITLE            every descendant of the window:
//                                   id<TAB>class<TAB>visible<TAB>enabled<TAB>text
//                                   (visible, enabled as 1 or 0)
//   probe control TITLE ID          the same line for the first descendant
//                                   with control id ID
//   probe text TITLE                the window's title, then the texts of its
//                                   static controls: for a message box, its
//                                   message
//   probe press TITLE ID            clicks the button ID (BM_CLICK, posted)
//   probe settext TITLE ID TEXT     sets the text of control ID (an edit field)
//   probe close TITLE               asks the window to close (WM_CLOSE)
//   probe focus TITLE               brings the window to the front
//
// TITLE is the exact window title; "TITLE*" matches every title beginning so,
// and "#CLASS" matches the window class instead (e.g. "##32770" for a dialog).
// Only visible windows match.  Control ids are decimal.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string utf8(const std::wstring& w) {
    if (w.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring wide(const char* s) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, s, -1, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n > 0 ? n : 1), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s, -1, &out[0], n);
    out.resize(out.size() - 1);
    return out;
}

// WM_GETTEXT through a time-out, so that a hung installer cannot hang the probe.
std::wstring text_of(HWND w) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(w, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) return {};
    std::wstring text(length + 1, L'\0');
    DWORD_PTR got = 0;
    SendMessageTimeoutW(w, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(&text[0]), SMTO_ABORTIFHUNG, 2000, &got);
    text.resize(got);
    return text;
}

std::wstring class_of(HWND w) {
    wchar_t name[256] = {};
    GetClassNameW(w, name, 256);
    return name;
}

bool matches(HWND w, const std::wstring& pattern) {
    if (!pattern.empty() && pattern[0] == L'#') return class_of(w) == pattern.substr(1);
    const std::wstring title = text_of(w);
    if (!pattern.empty() && pattern.back() == L'*')
        return title.compare(0, pattern.size() - 1, pattern, 0, pattern.size() - 1) == 0;
    return title == pattern;
}

std::vector<HWND> top_windows() {
    std::vector<HWND> all;
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
            if (IsWindowVisible(w)) reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    return all;
}

HWND find_top(const std::wstring& pattern) {
    for (HWND w : top_windows())
        if (matches(w, pattern)) return w;
    return nullptr;
}

HWND wait_top(const std::wstring& pattern, DWORD ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (HWND w = find_top(pattern)) return w;
        if (GetTickCount() - start >= ms) return nullptr;
        Sleep(100);
    }
}

std::vector<HWND> descendants(HWND top) {
    std::vector<HWND> all;
    EnumChildWindows(
        top,
        [](HWND w, LPARAM p) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    return all;
}

HWND control(HWND top, int id) {
    for (HWND w : descendants(top))
        if (GetDlgCtrlID(w) == id) return w;
    return nullptr;
}

void print_control(HWND w) {
    std::printf("%d\t%s\t%d\t%d\t%s\n", GetDlgCtrlID(w), utf8(class_of(w)).c_str(), IsWindowVisible(w) ? 1 : 0,
                IsWindowEnabled(w) ? 1 : 0, utf8(text_of(w)).c_str());
}

int usage() {
    std::fprintf(stderr, "usage: probe list|wait|gone|controls|control|text|press|settext|close|focus ...\n");
    return 2;
}

int not_found(const char* what) {
    std::fprintf(stderr, "probe: no window %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string verb = argv[1];
    if (verb == "list") {
        for (HWND w : top_windows())
            std::printf("%p\t%s\t%s\n", static_cast<void*>(w), utf8(class_of(w)).c_str(), utf8(text_of(w)).c_str());
        return 0;
    }
    if (argc < 3) return usage();
    const std::wstring pattern = wide(argv[2]);
    const DWORD ms = argc > 3 ? static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10)) : 15000;

    if (verb == "wait") {
        HWND w = wait_top(pattern, ms);
        if (!w) return not_found(argv[2]);
        std::printf("%p\n", static_cast<void*>(w));
        return 0;
    }
    if (verb == "gone") {
        const DWORD start = GetTickCount();
        while (find_top(pattern)) {
            if (GetTickCount() - start >= ms) return 1;
            Sleep(100);
        }
        return 0;
    }

    // Every other verb works on a window that is there already; a short grace
    // covers a window that is still being drawn.
    HWND top = wait_top(pattern, 2000);
    if (!top) return not_found(argv[2]);

    if (verb == "controls") {
        for (HWND w : descendants(top)) print_control(w);
        return 0;
    }
    if (verb == "text") {
        std::printf("%s\n", utf8(text_of(top)).c_str());
        for (HWND w : descendants(top)) {
            if (_wcsicmp(class_of(w).c_str(), L"Static") != 0) continue;
            const std::wstring t = text_of(w);
            if (!t.empty()) std::printf("%s\n", utf8(t).c_str());
        }
        return 0;
    }
    if (verb == "close") {
        PostMessageW(top, WM_CLOSE, 0, 0);
        return 0;
    }
    if (verb == "focus") {
        SetForegroundWindow(top);
        return 0;
    }
    if (argc < 4) return usage();
    const int id = std::atoi(argv[3]);
    HWND c = control(top, id);
    if (!c) {
        std::fprintf(stderr, "probe: no control %d in %s\n", id, argv[2]);
        return 1;
    }
    if (verb == "control") {
        print_control(c);
        return 0;
    }
    if (verb == "press") {
        PostMessageW(c, BM_CLICK, 0, 0);
        return 0;
    }
    if (verb == "settext" && argc > 4) {
        const std::wstring text = wide(argv[4]);
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, 2000,
                            &ignored);
        return 0;
    }
    return usage();
}
