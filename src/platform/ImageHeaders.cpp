#include "platform/ImageHeaders.h"

#include <windows.h>

#include <cstring>

namespace {

// The NT headers of a PE image starting at base, given size bytes of it;
// null when the bytes do not hold them whole, section table included.
const IMAGE_NT_HEADERS32* NtHeaders(const BYTE* base, size_t size) {
    if (size < sizeof(IMAGE_DOS_HEADER)) return nullptr;
    IMAGE_DOS_HEADER dos;
    std::memcpy(&dos, base, sizeof dos);
    if (dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew < 0) return nullptr;
    const size_t at = static_cast<size_t>(dos.e_lfanew);
    if (at > size || size - at < sizeof(IMAGE_NT_HEADERS32)) return nullptr;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + at);
    if (nt->Signature != IMAGE_NT_SIGNATURE || nt->FileHeader.SizeOfOptionalHeader != sizeof(IMAGE_OPTIONAL_HEADER32))
        return nullptr;
    const size_t sections = sizeof(IMAGE_SECTION_HEADER) * nt->FileHeader.NumberOfSections;
    if (size - at - sizeof(IMAGE_NT_HEADERS32) < sections) return nullptr;
    return nt;
}

}  // namespace

bool HeadersOfThisImage(const std::string& bytes) {
    const auto* loaded = reinterpret_cast<const BYTE*>(GetModuleHandleW(nullptr));
    if (!loaded) return false;
    const IMAGE_NT_HEADERS32* memory = NtHeaders(loaded, 64 * 1024);
    const IMAGE_NT_HEADERS32* file = NtHeaders(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size());
    if (!memory || !file) return false;
    if (std::memcmp(&memory->FileHeader, &file->FileHeader, sizeof file->FileHeader) != 0) return false;
    IMAGE_OPTIONAL_HEADER32 a = memory->OptionalHeader, b = file->OptionalHeader;
    a.ImageBase = b.ImageBase = 0;
    if (std::memcmp(&a, &b, sizeof a) != 0) return false;
    const size_t sections = sizeof(IMAGE_SECTION_HEADER) * file->FileHeader.NumberOfSections;
    return std::memcmp(memory + 1, file + 1, sections) == 0;
}
