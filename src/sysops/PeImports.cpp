#include "sysops/PeImports.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kMostImports = 256;
constexpr size_t kLongestName = 256;

bool ReadAt(OpenedFile& file, unsigned long offset, void* buffer, DWORD size) {
    DWORD got = 0;
    return file.SeekTo(offset) && file.Read(buffer, size, got) && got == size;
}

}  // namespace

std::vector<std::string> ImportedLibraries(OpenedFile& file) {
    std::vector<std::string> names;
    unsigned long long size = 0;
    if (!file.Size(size) || size > 0x7FFFFFFFull) return names;
    IMAGE_DOS_HEADER dos = {};
    if (!ReadAt(file, 0, &dos, sizeof dos) || dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew <= 0 ||
        static_cast<unsigned long long>(dos.e_lfanew) > size)
        return names;
    IMAGE_NT_HEADERS32 nt = {};
    const auto ntAt = static_cast<unsigned long>(dos.e_lfanew);
    if (!ReadAt(file, ntAt, &nt, sizeof nt) || nt.Signature != IMAGE_NT_SIGNATURE ||
        nt.FileHeader.SizeOfOptionalHeader < offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory) + 2 * sizeof(IMAGE_DATA_DIRECTORY) ||
        nt.OptionalHeader.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_IMPORT)
        return names;
    const DWORD importRva = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    if (importRva == 0) return names;
    const WORD count = nt.FileHeader.NumberOfSections;
    if (count == 0 || count > 96) return names;
    std::vector<IMAGE_SECTION_HEADER> sections(count);
    const unsigned long sectionsAt = ntAt + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) + nt.FileHeader.SizeOfOptionalHeader;
    if (!ReadAt(file, sectionsAt, sections.data(), static_cast<DWORD>(sizeof(IMAGE_SECTION_HEADER) * count)))
        return names;
    // An address in the image to its place in the file.
    const auto offsetOf = [&](DWORD rva, unsigned long& offset) {
        for (const IMAGE_SECTION_HEADER& section : sections) {
            const DWORD extent = std::max(section.Misc.VirtualSize, section.SizeOfRawData);
            if (rva < section.VirtualAddress || rva - section.VirtualAddress >= extent) continue;
            const DWORD into = rva - section.VirtualAddress;
            if (into >= section.SizeOfRawData) return false;
            offset = section.PointerToRawData + into;
            return offset < size;
        }
        return false;
    };
    for (size_t n = 0; n < kMostImports; ++n) {
        IMAGE_IMPORT_DESCRIPTOR descriptor = {};
        unsigned long at = 0;
        if (!offsetOf(importRva + static_cast<DWORD>(n * sizeof descriptor), at) ||
            !ReadAt(file, at, &descriptor, sizeof descriptor) || descriptor.Name == 0)
            break;
        unsigned long nameAt = 0;
        if (!offsetOf(descriptor.Name, nameAt)) break;
        char name[kLongestName + 1] = {};
        const DWORD room = static_cast<DWORD>(std::min<unsigned long long>(kLongestName, size - nameAt));
        if (!ReadAt(file, nameAt, name, room)) break;
        if (name[0]) names.emplace_back(name, strnlen(name, kLongestName));
    }
    return names;
}
