// Types at a Windows console what a terminal cannot: each argument after the
// program is a line of UTF-16 units in hexadecimal, comma-separated, each
// with *COUNT after it to repeat it, which is put into the console's input
// as key presses, then Enter. Then it runs
// the program, which reads them, and exits with its status.
// Usage: inject-keys.exe PROGRAM [UNIT,UNIT,...]...
#include <cwchar>

#include <windows.h>

namespace {

bool press(HANDLE input, wchar_t unit, WORD key)
{
    INPUT_RECORD records[2] = {};
    for (int i = 0; i < 2; ++i) {
        records[i].EventType = KEY_EVENT;
        records[i].Event.KeyEvent.bKeyDown = i == 0 ? TRUE : FALSE;
        records[i].Event.KeyEvent.wRepeatCount = 1;
        records[i].Event.KeyEvent.wVirtualKeyCode = key;
        records[i].Event.KeyEvent.uChar.UnicodeChar = unit;
    }
    DWORD written = 0;
    return WriteConsoleInputW(input, records, 2, &written) != 0 && written == 2;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    HANDLE input = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (argc < 2 || input == INVALID_HANDLE_VALUE) {
        return 125;
    }
    // Every unit is parsed, so each line is walked to its end either way.
    bool pressed = true;
    for (int line = 2; line < argc; ++line) {
        for (wchar_t* unit = argv[line]; *unit != L'\0'; unit += *unit == L',' ? 1 : 0) {
            const auto key = static_cast<wchar_t>(std::wcstoul(unit, &unit, 16));
            auto times = *unit == L'*' ? std::wcstoul(unit + 1, &unit, 10) : 1UL;
            for (; times > 0; --times) {
                pressed = press(input, key, 0) && pressed;
            }
        }
        pressed = press(input, L'\r', VK_RETURN) && pressed;
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!pressed
        || CreateProcessW(
               argv[1], nullptr, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)
            == 0) {
        return 125;
    }
    DWORD status = 125;
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &status);
    return static_cast<int>(status);
}
