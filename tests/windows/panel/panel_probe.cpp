// panel_probe.exe: prints, from a second process, what a person sees of the
// progress panel in a running installer window, one "key value..." line each:
//
//   button2 ENABLED FOCUSED TEXT     the installer window's button 2
//   button3 ENABLED TEXT             ... and button 3
//   shown3 VISIBLE                   whether button 3 is shown at all
//   focus ID CLASS                   the window with the keyboard focus
//   click3 X Y                       screen point in the middle of button 3
//   page WIDTH HEIGHT                the inner page's client area
//   c1004 VISIBLE X Y W H            the page's controls, rectangles in page
//   c1006 ... c1016 ... c1027 ...    client coordinates ("c1016 none" if absent)
//   status VISIBLE X Y W H STYLE TEXT    the panel's status line ("status none")
//   bar VISIBLE X Y W H STYLE POS HIGH   the panel's bar ("bar none")
//
//   panel_probe TITLE    TITLE is the installer window's title, or its
//                        beginning followed by "*" (the installer adds the
//                        page's subcaption).
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr UINT PBM_GETRANGE = 0x407;
constexpr UINT PBM_GETPOS = 0x408;

std::string text_of(HWND w) {
    char text[256] = {};
    DWORD_PTR got = 0;
    SendMessageTimeoutA(w, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &got);
    return text;
}

std::string class_of(HWND w) {
    char name[64] = {};
    GetClassNameA(w, name, sizeof name);
    return name;
}

RECT in_page(HWND page, HWND w) {
    RECT r{};
    GetWindowRect(w, &r);
    MapWindowPoints(HWND_DESKTOP, page, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void print_geometry(HWND page, HWND w) {
    const RECT r = in_page(page, w);
    std::printf(" %d %ld %ld %ld %ld", IsWindowVisible(w) ? 1 : 0, r.left, r.top, r.right - r.left, r.bottom - r.top);
}

// The panel's windows are the page's children without a control id.
HWND panel_window(HWND page, const char* window_class) {
    for (HWND w = GetWindow(page, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
        if (GetDlgCtrlID(w) == 0 && lstrcmpiA(class_of(w).c_str(), window_class) == 0) return w;
    return nullptr;
}

HWND find_top(const std::string& pattern) {
    struct Search {
        std::string prefix;
        bool whole;
        HWND found;
    } search{pattern, true, nullptr};
    if (!pattern.empty() && pattern.back() == '*') {
        search.prefix.pop_back();
        search.whole = false;
    }
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            if (!IsWindowVisible(w)) return TRUE;
            const std::string title = text_of(w);
            if (s->whole ? title == s->prefix : title.compare(0, s->prefix.size(), s->prefix) == 0) {
                s->found = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: panel_probe TITLE\n");
        return 2;
    }
    HWND top = find_top(argv[1]);
    if (!top) {
        std::fprintf(stderr, "panel_probe: no window %s\n", argv[1]);
        return 1;
    }
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    GetGUIThreadInfo(GetWindowThreadProcessId(top, nullptr), &gui);

    HWND b2 = GetDlgItem(top, 2);
    HWND b3 = GetDlgItem(top, 3);
    std::printf("button2 %d %d %s\n", IsWindowEnabled(b2) ? 1 : 0, gui.hwndFocus == b2 ? 1 : 0, text_of(b2).c_str());
    std::printf("button3 %d %s\n", IsWindowEnabled(b3) ? 1 : 0, text_of(b3).c_str());
    std::printf("shown3 %d\n", IsWindowVisible(b3) ? 1 : 0);
    std::printf("focus %d %s\n", gui.hwndFocus ? GetDlgCtrlID(gui.hwndFocus) : -1,
                gui.hwndFocus ? class_of(gui.hwndFocus).c_str() : "none");
    RECT r3{};
    GetWindowRect(b3, &r3);
    std::printf("click3 %ld %ld\n", (r3.left + r3.right) / 2, (r3.top + r3.bottom) / 2);

    HWND page = FindWindowExA(top, nullptr, "#32770", nullptr);
    if (!page) {
        std::printf("page none\n");
        return 0;
    }
    RECT client{};
    GetClientRect(page, &client);
    std::printf("page %ld %ld\n", client.right, client.bottom);
    for (int id : {1004, 1006, 1016, 1027}) {
        HWND c = GetDlgItem(page, id);
        std::printf("c%d", id);
        if (c) print_geometry(page, c);
        else std::printf(" none");
        std::printf("\n");
    }
    if (HWND status = panel_window(page, "Static")) {
        std::printf("status");
        print_geometry(page, status);
        std::printf(" %08lx %s\n", static_cast<unsigned long>(GetWindowLongA(status, GWL_STYLE)), text_of(status).c_str());
    } else {
        std::printf("status none\n");
    }
    if (HWND bar = panel_window(page, "msctls_progress32")) {
        std::printf("bar");
        print_geometry(page, bar);
        std::printf(" %08lx %ld %ld\n", static_cast<unsigned long>(GetWindowLongA(bar, GWL_STYLE)),
                    static_cast<long>(SendMessageA(bar, PBM_GETPOS, 0, 0)),
                    static_cast<long>(SendMessageA(bar, PBM_GETRANGE, FALSE, 0)));
    } else {
        std::printf("bar none\n");
    }
    return 0;
}
