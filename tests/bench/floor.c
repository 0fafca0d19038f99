/* The floor of an install and an uninstall on this system: only what any
 * installer has to do for each file, with no log, no record and no registry
 * work, so the bench can say how far above the platform's own cost the
 * program runs.
 *
 *   RVFLOOR install SOURCE DESTINATION   copies the tree below SOURCE
 *   RVFLOOR uninstall FOLDER              deletes FOLDER, depth first
 *   RVFLOOR                               returns at once (a process's cost)
 *
 * Each copy goes through a temporary name in the destination folder and is
 * renamed into place once complete, as a copy that must never leave a cut
 * file under the final name does. Exit code 0, or the Win32 code of the
 * first failure. */
#include <windows.h>

#include <stdlib.h>
#include <string.h>
#include <wchar.h>

enum { kBlock = 1 << 20 };
static char* block;

/* folder + "\\" + name, allocated; NULL when out of memory. */
static wchar_t* Join(const wchar_t* folder, const wchar_t* name) {
    const size_t a = wcslen(folder), b = wcslen(name);
    wchar_t* path = malloc((a + b + 2) * sizeof(wchar_t));
    if (!path) return NULL;
    memcpy(path, folder, a * sizeof(wchar_t));
    path[a] = L'\\';
    memcpy(path + a + 1, name, (b + 1) * sizeof(wchar_t));
    return path;
}

static int IsDots(const wchar_t* name) { return name[0] == L'.' && (!name[1] || (name[1] == L'.' && !name[2])); }

static DWORD CopyOne(const wchar_t* source, const wchar_t* temporary, const wchar_t* destination,
                     const FILETIME* written) {
    HANDLE in = CreateFileW(source, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    if (in == INVALID_HANDLE_VALUE) return GetLastError();
    HANDLE out = CreateFileW(temporary, GENERIC_WRITE, 0, NULL, CREATE_NEW,
                             FILE_ATTRIBUTE_ARCHIVE | FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    if (out == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        CloseHandle(in);
        return error;
    }
    DWORD error = 0, got = 0, put = 0;
    for (;;) {
        if (!ReadFile(in, block, kBlock, &got, NULL)) {
            error = GetLastError();
            break;
        }
        if (!got) break;
        if (!WriteFile(out, block, got, &put, NULL) || put != got) {
            error = put != got ? ERROR_WRITE_FAULT : GetLastError();
            break;
        }
    }
    if (!error && !SetFileTime(out, NULL, NULL, written)) error = GetLastError();
    CloseHandle(in);
    if (!CloseHandle(out) && !error) error = GetLastError();
    if (!error && !MoveFileExW(temporary, destination, MOVEFILE_REPLACE_EXISTING)) error = GetLastError();
    if (error) DeleteFileW(temporary);
    return error;
}

static DWORD CopyTree(const wchar_t* source, const wchar_t* destination) {
    if (!CreateDirectoryW(destination, NULL) && GetLastError() != ERROR_ALREADY_EXISTS) return GetLastError();
    wchar_t* pattern = Join(source, L"*");
    wchar_t* temporary = Join(destination, L"~floor.tmp");
    if (!pattern || !temporary) {
        free(pattern);
        free(temporary);
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(pattern, &found);
    DWORD error = find == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    if (error == ERROR_FILE_NOT_FOUND) error = 0;
    while (find != INVALID_HANDLE_VALUE && !error) {
        if (!IsDots(found.cFileName)) {
            wchar_t* from = Join(source, found.cFileName);
            wchar_t* to = Join(destination, found.cFileName);
            if (!from || !to)
                error = ERROR_NOT_ENOUGH_MEMORY;
            else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                error = CopyTree(from, to);
            else
                error = CopyOne(from, temporary, to, &found.ftLastWriteTime);
            free(from);
            free(to);
        }
        if (!error && !FindNextFileW(find, &found)) {
            error = GetLastError();
            if (error == ERROR_NO_MORE_FILES) error = 0;
            break;
        }
    }
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    free(pattern);
    free(temporary);
    return error;
}

static DWORD DeleteTree(const wchar_t* folder) {
    wchar_t* pattern = Join(folder, L"*");
    if (!pattern) return ERROR_NOT_ENOUGH_MEMORY;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(pattern, &found);
    DWORD error = find == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    while (find != INVALID_HANDLE_VALUE && !error) {
        if (!IsDots(found.cFileName)) {
            wchar_t* path = Join(folder, found.cFileName);
            if (!path)
                error = ERROR_NOT_ENOUGH_MEMORY;
            else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                error = DeleteTree(path);
            else if (!DeleteFileW(path))
                error = GetLastError();
            free(path);
        }
        if (!error && !FindNextFileW(find, &found)) {
            error = GetLastError();
            if (error == ERROR_NO_MORE_FILES) error = 0;
            break;
        }
    }
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    free(pattern);
    if (!error && !RemoveDirectoryW(folder)) error = GetLastError();
    return error;
}

int wmain(int argc, wchar_t** argv) {
    if (argc == 1) return 0;
    if (argc == 4 && !wcscmp(argv[1], L"install")) {
        block = malloc(kBlock);
        return block ? (int)CopyTree(argv[2], argv[3]) : ERROR_NOT_ENOUGH_MEMORY;
    }
    if (argc == 3 && !wcscmp(argv[1], L"uninstall")) return (int)DeleteTree(argv[2]);
    return ERROR_BAD_ARGUMENTS;
}
