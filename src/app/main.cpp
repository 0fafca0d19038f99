#include <windows.h>

// Entry point; the windows arrive with the user-interface work.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
