// The Windows desktop: plain Win32 through the ANSI entry points, so that the
// 8-bit texts of the plug-in reach the dialogs and the file system unchanged.
#include "toolkit/toolkit.h"

#include <windows.h>

#include <string>

namespace toolkit {
namespace {

// Caption of the error dialog: the form toolkit's own error dialog has this
// title in an Italian installation.
constexpr const char* error_caption = "Errore";

// The plain message dialog carries the application's title, which for the
// form toolkit is the program's file name without its extension (the
// installer's own window title is not known to a plug-in).
std::string application_title() {
    char path[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string title(path, n);
    if (const auto slash = title.find_last_of("\\/"); slash != std::string::npos) title.erase(0, slash + 1);
    if (const auto dot = title.rfind('.'); dot != std::string::npos && dot > 0) title.erase(dot);
    return title;
}

// A modal dialog of the running thread: owned by its active window when there
// is one, otherwise modal to every top-level window of the thread, so that the
// installer cannot be clicked on while the person has not answered.
int modal_box(const std::string& text, const char* caption, UINT type) {
    HWND owner = GetActiveWindow();
    if (!owner) type |= MB_TASKMODAL;
    return MessageBoxA(owner, text.c_str(), caption, type | MB_SETFOREGROUND);
}

class FileHandle {
public:
    explicit FileHandle(HANDLE h) : h_(h) {}
    ~FileHandle() {
        if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE get() const { return h_; }
    explicit operator bool() const { return h_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE h_;
};

}  // namespace

void show_error(const std::string& text) { modal_box(text, error_caption, MB_ICONERROR | MB_OK); }

void show_message(const std::string& text) { modal_box(text, application_title().c_str(), MB_OK); }

int message_box(void* owner, const std::string& text, const std::string& caption, unsigned type) {
    return MessageBoxA(static_cast<HWND>(owner), text.c_str(), caption.c_str(), type);
}

BusyCursor::BusyCursor() : previous_(GetCursor()) {
    constexpr WORD hourglass = 32514;  // IDC_WAIT, spelled for the ANSI entry point
    SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(hourglass)));
}

BusyCursor::~BusyCursor() { SetCursor(static_cast<HCURSOR>(previous_)); }

void process_messages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // The installer's own loop must still see the request to end.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

std::uint32_t tick_count() { return GetTickCount(); }

std::int64_t local_time_ms() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    FILETIME ft;
    if (!SystemTimeToFileTime(&now, &ft)) return 0;
    ULARGE_INTEGER units;
    units.LowPart = ft.dwLowDateTime;
    units.HighPart = ft.dwHighDateTime;
    return static_cast<std::int64_t>(units.QuadPart / 10000);  // 100 ns units since 1601
}

void* load_library(const char* name) { return LoadLibraryA(name); }

void* find_function(void* library, const char* name) {
    if (!library) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void free_library(void* library) {
    if (library) FreeLibrary(static_cast<HMODULE>(library));
}

void* global_alloc(std::size_t bytes) { return GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, bytes); }

void global_free(void* block) {
    if (block) GlobalFree(static_cast<HGLOBAL>(block));
}

bool read_file_exclusive(const std::string& path, std::string& bytes) {
    FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    if (!file) return false;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0) return false;
    std::string content;
    try {
        content.resize(static_cast<std::size_t>(size.QuadPart));
    } catch (...) {
        return false;
    }
    std::size_t done = 0;
    while (done < content.size()) {
        const std::size_t left = content.size() - done;
        const DWORD want = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
        DWORD got = 0;
        if (!ReadFile(file.get(), &content[done], want, &got, nullptr)) return false;
        if (got == 0) break;  // the file shrank while we read it
        done += got;
    }
    content.resize(done);
    bytes = std::move(content);
    return true;
}

std::string utf16_to_ansi(const char16_t* text) {
    if (!text || !*text) return {};
    const auto* wide = reinterpret_cast<const wchar_t*>(text);
    const int n = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, -1, &out[0], n, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(n - 1));
    return out;
}

std::u16string ansi_to_utf16(const std::string& text) {
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) return {};
    std::u16string out(static_cast<std::size_t>(n), u'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), reinterpret_cast<wchar_t*>(&out[0]),
                        n);
    return out;
}

}  // namespace toolkit
