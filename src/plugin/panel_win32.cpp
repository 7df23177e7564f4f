// The panel inside the installer's own windows.  Only "A" functions: the
// status texts are 8-bit in the ANSI code page whatever the width of the
// installer's stack, and the system converts for a unicode installer window.
//
// Threads: the export may run on a worker thread (NSIS runs its sections on
// one).  Build, removal and the button commands reach the window's thread
// through SendMessageA; progress_update touches the panel windows only by
// messages; the two flags are the only state that both sides write.
#include <windows.h>

#include "plugin/panel.h"

namespace panel {

LRESULT CALLBACK panel_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

namespace {

// Progress-bar messages of the common controls.
constexpr UINT PBM_SETRANGE = 0x401;
constexpr UINT PBM_SETPOS = 0x402;
constexpr UINT PBM_SETBARCOLOR = 0x409;
constexpr UINT PBM_SETBKCOLOR = 0x2001;
constexpr LONG PBS_SMOOTH = 0x1;

// WS_CHILD | WS_CLIPSIBLINGS: created hidden, shown once complete.
constexpr DWORD bar_style = 0x44000000;
// ... with SS_CENTER.
constexpr DWORD status_line_style = 0x44000001;

// The installer window's buttons and the instfiles page's controls.
constexpr int pause_button = 2;
constexpr int abandon_button = 3;
constexpr int page_bar = 1004;
constexpr int page_text = 1006;
constexpr int page_details = 1016;
constexpr int page_details_button = 1027;

struct ProgressPanel {
    UINT panel_message = 0;
    WNDPROC previous_proc = nullptr;
    HWND page = nullptr;
    HWND hidden_1016 = nullptr;
    HWND hidden_1027 = nullptr;
    HWND status_line = nullptr;
    HWND bar = nullptr;
    bool pause_was_disabled = false;
    std::uint32_t last_text_tick = 0;
};

ProgressPanel state;

// Hides a visible control and answers its handle, so that the removal knows
// to show it again; a control that was hidden already stays as it was.
HWND hide_if_visible(HWND control) {
    if (!control || !IsWindowVisible(control)) return nullptr;
    ShowWindow(control, SW_HIDE);
    return control;
}

int window_height(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r.bottom - r.top;
}

// The new bar takes over a colour from the template: setting a colour answers
// the previous one, which goes straight back to the template.
void copy_colour(HWND template_bar, HWND bar, UINT message) {
    const LRESULT colour = SendMessageA(template_bar, message, 0, 0);
    SendMessageA(template_bar, message, 0, colour);
    SendMessageA(bar, message, 0, colour);
}

void build_panel(HWND window, HWND source) {
    HWND page = FindWindowExA(source, nullptr, "#32770", nullptr);
    HWND details = page ? GetDlgItem(page, page_details) : nullptr;
    HWND details_button = page ? GetDlgItem(page, page_details_button) : nullptr;
    HWND template_bar = page ? GetDlgItem(page, page_bar) : nullptr;
    HWND template_text = page ? GetDlgItem(page, page_text) : nullptr;
    paused = false;
    // Another page (or a custom one) has no place for the panel: leave `page`
    // null so that progress reports and the removal address no windows.
    if (!page || !template_bar || !template_text) return;
    state.page = page;

    state.hidden_1016 = hide_if_visible(details);
    state.hidden_1027 = hide_if_visible(details_button);

    DWORD style = bar_style;
    if (GetWindowLongA(template_bar, GWL_STYLE) & PBS_SMOOTH) style |= PBS_SMOOTH;

    RECT client{};
    GetClientRect(page, &client);
    const int width = client.right;
    const int middle = client.bottom / 2;
    const int text_height = window_height(template_text);
    const int bar_height = window_height(template_bar);
    HINSTANCE host = GetModuleHandleA(nullptr);

    state.status_line = CreateWindowExA(0, "STATIC", "", status_line_style, 0, middle - text_height / 2, width,
                                        text_height, page, nullptr, host, nullptr);
    state.bar = CreateWindowExA(0, "msctls_progress32", "", style, 0, middle + bar_height / 2, width, bar_height,
                                page, nullptr, host, nullptr);

    copy_colour(template_bar, state.bar, PBM_SETBARCOLOR);
    copy_colour(template_bar, state.bar, PBM_SETBKCOLOR);

    const LRESULT font = SendMessageA(source, WM_GETFONT, 0, 0);
    SendMessageA(state.bar, WM_SETFONT, static_cast<WPARAM>(font), 0);
    SendMessageA(state.status_line, WM_SETFONT, static_cast<WPARAM>(font), 0);

    SendMessageA(state.bar, PBM_SETRANGE, 0, MAKELPARAM(0, bar_range));
    ShowWindow(state.bar, SW_SHOWNA);
    ShowWindow(state.status_line, SW_SHOWNA);

    // Button 2 takes the keyboard focus, so that a key press pauses.  It is
    // enabled first: the installer keeps it disabled while it installs, and a
    // disabled window refuses the focus, which would stay on the page's
    // "Show details" button that was just hidden.
    HWND pause = GetDlgItem(window, pause_button);
    SetDlgItemTextA(window, pause_button, "Sospendi");
    state.pause_was_disabled = EnableWindow(pause, TRUE) != 0;
    SendMessageA(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(pause), 1);
    SetDlgItemTextA(window, abandon_button, "Abbandona");
    EnableWindow(GetDlgItem(window, abandon_button), TRUE);

    abort_requested = false;
    paused = false;
}

void remove_panel(HWND window) {
    if (!state.page) return;
    if (state.pause_was_disabled) EnableWindow(GetDlgItem(window, pause_button), FALSE);
    SetDlgItemTextA(window, pause_button, "Annulla");
    SetDlgItemTextA(window, abandon_button, "");
    EnableWindow(GetDlgItem(window, abandon_button), FALSE);
    abort_requested = false;
    if (state.status_line) DestroyWindow(state.status_line);
    if (state.bar) DestroyWindow(state.bar);
    state.status_line = nullptr;
    state.bar = nullptr;
    if (state.hidden_1016) ShowWindow(state.hidden_1016, SW_SHOWNA);
    if (state.hidden_1027) ShowWindow(state.hidden_1027, SW_SHOWNA);
    state.hidden_1016 = nullptr;
    state.hidden_1027 = nullptr;
    state.page = nullptr;
}

}  // namespace

LRESULT CALLBACK panel_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (state.panel_message != 0 && message == state.panel_message) {
        if (wparam == 1) {
            build_panel(window, reinterpret_cast<HWND>(lparam));
        } else {
            remove_panel(window);
        }
        return 0;
    }
    if (message == WM_COMMAND) {
        // The installer's own handling of these two buttons (cancel, back)
        // stays suspended for the whole load, panel or not.
        switch (LOWORD(wparam)) {
        case pause_button:
            if (paused) {
                SetDlgItemTextA(window, pause_button, "Sospendi");
                paused = false;
            } else {
                SetDlgItemTextA(window, pause_button, "Riprendi");
                paused = true;
            }
            return 0;
        case abandon_button:
            SetDlgItemTextA(window, pause_button, "Sospendi");
            paused = false;
            abort_requested = true;
            return 0;
        default:
            break;
        }
    }
    return CallWindowProcA(state.previous_proc, window, message, wparam, lparam);
}

void progress_update(const std::string& text, std::uint32_t done) {
    if (!state.page) return;
    // A dropped text is never shown later: the next report brings a newer one.
    if (text_due(GetTickCount(), state.last_text_tick)) SetWindowTextA(state.status_line, text.c_str());
    if (const auto position = bar_position(done, progress_total)) {
        SendMessageA(state.bar, PBM_SETPOS, static_cast<WPARAM>(*position), 0);
    }
}

PanelScope::PanelScope(void* parent_window) : parent_window_(parent_window) {
    paused = false;
    abort_requested = false;
    if (!parent_window_) return;
    HWND parent = static_cast<HWND>(parent_window_);
    state.panel_message = RegisterWindowMessageA("nsisdl create");
    // SetWindowLongPtrA is SetWindowLongA on 32-bit Windows.
    const LONG_PTR previous =
        SetWindowLongPtrA(parent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&panel_window_proc));
    // A window that refused the new procedure keeps its own; giving it a null
    // procedure back afterwards would break it.
    if (previous == 0) return;
    state.previous_proc = reinterpret_cast<WNDPROC>(previous);
    installed_ = true;
    SendMessageA(parent, state.panel_message, 1, reinterpret_cast<LPARAM>(parent));
}

PanelScope::~PanelScope() {
    if (!installed_) return;
    HWND parent = static_cast<HWND>(parent_window_);
    SendMessageA(parent, state.panel_message, 0, reinterpret_cast<LPARAM>(parent));
    SetWindowLongPtrA(parent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(state.previous_proc));
}

}  // namespace panel
