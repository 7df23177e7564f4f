// The database login dialog: an in-memory dialog template run modally, so the
// plug-in carries no resource script.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/toolkit.h"

namespace toolkit {

namespace {

// Control ids of the dialog.
constexpr WORD id_database = 101;
constexpr WORD id_user_name = 102;
constexpr WORD id_password = 103;

// Both fields take what the users table holds: 31 characters.
constexpr int field_limit = 31;

// Predefined window classes, by their atom in a dialog template.
constexpr WORD class_button = 0x0080;
constexpr WORD class_edit = 0x0081;
constexpr WORD class_static = 0x0082;

// Builds a DLGTEMPLATE with its items in a WORD buffer, keeping the
// alignment that the dialog manager demands (items on DWORD boundaries).
class DialogTemplate {
public:
    DialogTemplate(const char* title, short cx, short cy, WORD items) {
        const DWORD style = DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU;
        put_dword(style);
        put_dword(0);  // extended style
        words_.push_back(items);
        put_short(0);  // x and y: centred by the dialog procedure
        put_short(0);
        put_short(cx);
        put_short(cy);
        words_.push_back(0);  // no menu
        words_.push_back(0);  // the standard dialog class
        put_text(title);
        words_.push_back(8);  // point size
        put_text("MS Shell Dlg");
    }

    void item(WORD window_class, const char* text, WORD id, DWORD style, short x, short y, short cx, short cy) {
        while (words_.size() % 2) words_.push_back(0);
        put_dword(style | WS_CHILD | WS_VISIBLE);
        put_dword(0);
        put_short(x);
        put_short(y);
        put_short(cx);
        put_short(cy);
        words_.push_back(id);
        words_.push_back(0xFFFF);
        words_.push_back(window_class);
        put_text(text);
        words_.push_back(0);  // no creation data
    }

    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void put_dword(DWORD value) {
        words_.push_back(static_cast<WORD>(value & 0xFFFF));
        words_.push_back(static_cast<WORD>(value >> 16));
    }
    void put_short(short value) { words_.push_back(static_cast<WORD>(value)); }
    // Template texts are UTF-16; the fixed captions are plain ASCII.
    void put_text(const char* text) {
        for (; *text; ++text) words_.push_back(static_cast<unsigned char>(*text));
        words_.push_back(0);
    }

    // std::vector<WORD> storage starts on a boundary suitable for any scalar.
    std::vector<WORD> words_;
};

struct LoginState {
    const std::string* database;
    std::string* user_name;
    std::string* password;
};

std::string field_text(HWND dialog, int id) {
    char buffer[field_limit * 2 + 2] = {};
    GetDlgItemTextA(dialog, id, buffer, static_cast<int>(sizeof buffer));
    return buffer;
}

void centre_on_screen(HWND dialog) {
    RECT work{};
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0)) {
        work.right = GetSystemMetrics(SM_CXSCREEN);
        work.bottom = GetSystemMetrics(SM_CYSCREEN);
    }
    RECT box{};
    GetWindowRect(dialog, &box);
    const int width = box.right - box.left;
    const int height = box.bottom - box.top;
    const int x = work.left + (work.right - work.left - width) / 2;
    const int y = work.top + (work.bottom - work.top - height) / 2;
    SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK login_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG: {
            auto* state = reinterpret_cast<LoginState*>(lparam);
            SetWindowLongPtrA(dialog, DWLP_USER, lparam);
            SetDlgItemTextA(dialog, id_database, state->database->c_str());
            SetDlgItemTextA(dialog, id_user_name, state->user_name->c_str());
            SendDlgItemMessageA(dialog, id_user_name, EM_LIMITTEXT, field_limit, 0);
            SendDlgItemMessageA(dialog, id_password, EM_LIMITTEXT, field_limit, 0);
            SendDlgItemMessageA(dialog, id_password, EM_SETPASSWORDCHAR, '*', 0);
            centre_on_screen(dialog);
            // Someone who was offered a name has only the password left to type.
            const int first = state->user_name->empty() ? id_user_name : id_password;
            SetFocus(GetDlgItem(dialog, first));
            SendDlgItemMessageA(dialog, first, EM_SETSEL, 0, -1);
            SetForegroundWindow(dialog);
            return FALSE;  // the focus is set
        }
        case WM_COMMAND:
            switch (LOWORD(wparam)) {
                case IDOK: {
                    auto* state = reinterpret_cast<LoginState*>(GetWindowLongPtrA(dialog, DWLP_USER));
                    *state->user_name = field_text(dialog, id_user_name);
                    *state->password = field_text(dialog, id_password);
                    EndDialog(dialog, IDOK);
                    return TRUE;
                }
                case IDCANCEL:
                    EndDialog(dialog, IDCANCEL);
                    return TRUE;
            }
            break;
    }
    return FALSE;
}

HINSTANCE this_module() {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&login_proc), &module);
    return module;
}

}  // namespace

bool login_dialog(const std::string& database, std::string& user_name, std::string& password) {
    DialogTemplate form("Database Login", 186, 92, 9);
    form.item(class_button, "", static_cast<WORD>(-1), BS_GROUPBOX, 7, 4, 172, 62);
    form.item(class_static, "Database:", static_cast<WORD>(-1), SS_LEFT, 14, 16, 50, 9);
    form.item(class_static, "", id_database, SS_LEFT | SS_NOPREFIX, 68, 16, 104, 9);
    form.item(class_static, "&User Name:", static_cast<WORD>(-1), SS_LEFT, 14, 32, 50, 9);
    form.item(class_edit, "", id_user_name, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 68, 30, 104, 12);
    form.item(class_static, "&Password:", static_cast<WORD>(-1), SS_LEFT, 14, 48, 50, 9);
    form.item(class_edit, "", id_password, ES_AUTOHSCROLL | ES_PASSWORD | WS_BORDER | WS_TABSTOP, 68, 46, 104,
              12);
    form.item(class_button, "&OK", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 72, 72, 50, 14);
    form.item(class_button, "Cancel", IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, 129, 72, 50, 14);

    LoginState state{&database, &user_name, &password};
    // Owned by whatever window the person is working in (the installer), so
    // that it stays modal to it.
    const INT_PTR pressed = DialogBoxIndirectParamA(this_module(), form.get(), GetActiveWindow(), login_proc,
                                                    reinterpret_cast<LPARAM>(&state));
    return pressed == IDOK;
}

}  // namespace toolkit
