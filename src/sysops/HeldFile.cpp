#include "sysops/HeldFile.h"

#include <vector>

#include "platform/Win932.h"
#include "sysops/Sha256.h"

HeldFile::HeldFile(const std::string& path)
    : path_(path),
      file_(CreateFile932(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                          nullptr)) {}

std::string HeldFile::Digest() const {
    if (!file_) return {};
    // From the start every time (SetFilePointerEx is missing before 2000).
    if (SetFilePointer(file_.get(), 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return {};
    Sha256 hash;
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file_.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) return {};
        if (got == 0) break;
        hash.Update(buffer.data(), got);
    }
    return Sha256Hex(hash.Finish());
}
