#include "sysops/HeldFile.h"

#include <vector>

#include "sysops/Sha256.h"

HeldFile::HeldFile(const std::string& path)
    : path_(path),
      file_(Changes().Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL)) {}

std::string HeldFile::Digest() const {
    if (!file_) return {};
    // From the start every time (SetFilePointerEx is missing before 2000).
    if (!file_->Rewind()) return {};
    Sha256 hash;
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        DWORD got = 0;
        if (!file_->Read(buffer.data(), static_cast<DWORD>(buffer.size()), got)) return {};
        if (got == 0) break;
        hash.Update(buffer.data(), got);
    }
    return Sha256Hex(hash.Finish());
}
