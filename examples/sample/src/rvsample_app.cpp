// The sample package's program. Started with "/firstrun" after the install
// (the script's run-after program) it leaves a line in its log folder and
// ends; otherwise it shows what it was started with.
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    const std::string args = commandLine ? commandLine : "";
    if (args.find("/firstrun") != std::string::npos) {
        char self[MAX_PATH];
        GetModuleFileNameA(nullptr, self, sizeof self);
        std::string folder(self);
        folder.resize(folder.rfind('\\') + 1);
        const std::string log = folder + "データ\\ログ\\firstrun.log";
        HANDLE file = CreateFileA(log.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return 2;
        const std::string line = "Ravelin サンプルが初めて起動されました。\r\n";
        DWORD written = 0;
        WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        CloseHandle(file);
        return 0;
    }
    MessageBoxA(nullptr, ("Ravelin サンプル\r\n\r\n" + args).c_str(), "Ravelin サンプル", MB_OK | MB_ICONINFORMATION);
    return 0;
}
