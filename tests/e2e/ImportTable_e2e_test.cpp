// The libraries the built program names in its import tables: only those
// Windows always takes from its own folders, never one that a file planted
// beside the program in a download folder could stand in for.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <stdexcept>

#include "Driver.h"
#include "TestSupport.h"

using namespace e2e;

namespace {

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return text;
}

// The names of the libraries in the import and delay-import tables of a
// 32-bit program image, upper case; a malformed image fails the test.
std::set<std::string> ImportedLibraries(const std::string& image) {
    std::set<std::string> names;
    auto at = [&](size_t offset, size_t size) -> const char* {
        if (offset > image.size() || size > image.size() - offset) throw std::out_of_range("outside the image");
        return image.data() + offset;
    };
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(at(0, sizeof(IMAGE_DOS_HEADER)));
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(at(dos->e_lfanew, sizeof(IMAGE_NT_HEADERS32)));
    if (dos->e_magic != IMAGE_DOS_SIGNATURE || nt->Signature != IMAGE_NT_SIGNATURE) throw std::runtime_error("no PE");
    const auto* sections = reinterpret_cast<const IMAGE_SECTION_HEADER*>(
        at(dos->e_lfanew + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) + nt->FileHeader.SizeOfOptionalHeader,
           nt->FileHeader.NumberOfSections * sizeof(IMAGE_SECTION_HEADER)));
    auto fileOffset = [&](DWORD rva) -> size_t {
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
            const IMAGE_SECTION_HEADER& s = sections[i];
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + std::max(s.Misc.VirtualSize, s.SizeOfRawData))
                return rva - s.VirtualAddress + s.PointerToRawData;
        }
        throw std::out_of_range("address outside every section");
    };
    auto name = [&](DWORD rva) {
        const size_t offset = fileOffset(rva);
        const char* text = at(offset, 1);
        return Upper(std::string(text, strnlen(text, image.size() - offset)));
    };
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress) {
        for (size_t offset = fileOffset(imports.VirtualAddress);; offset += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
            const auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(at(offset, sizeof(IMAGE_IMPORT_DESCRIPTOR)));
            if (!entry->Name) break;
            names.insert(name(entry->Name));
        }
    }
    const IMAGE_DATA_DIRECTORY& delayed = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT];
    if (delayed.VirtualAddress) {
        for (size_t offset = fileOffset(delayed.VirtualAddress);; offset += sizeof(IMAGE_DELAYLOAD_DESCRIPTOR)) {
            const auto* entry =
                reinterpret_cast<const IMAGE_DELAYLOAD_DESCRIPTOR*>(at(offset, sizeof(IMAGE_DELAYLOAD_DESCRIPTOR)));
            if (!entry->DllNameRVA) break;
            names.insert(name(entry->DllNameRVA));
        }
    }
    return names;
}

TEST(ImportTable, NamesOnlyLibrariesWindowsTakesFromItsOwnFolders) {
    const std::string image = ReadFileBytes(BinFolder() + "SETUP.EXE");
    ASSERT_FALSE(image.empty());
    std::set<std::string> names;
    ASSERT_NO_THROW(names = ImportedLibraries(image));
    ASSERT_TRUE(names.count("KERNEL32.DLL")) << "the table was not read";
    // KERNEL32, USER32, GDI32 and ADVAPI32, and MSVCRT, the C runtime of
    // the MinGW build (a known library of the system on the NT family).
    const std::set<std::string> allowed = {"KERNEL32.DLL", "USER32.DLL", "GDI32.DLL", "ADVAPI32.DLL", "MSVCRT.DLL"};
    for (const std::string& library : names) EXPECT_TRUE(allowed.count(library)) << library << " is imported";
}

TEST(ImportTable, TheReaderSeesALibraryOfATestProgram) {
    // The same reader on a program that does import SHELL32, so a reader
    // that saw nothing could not pass the test above.
    const std::string image = ReadFileBytes(BinFolder() + "test_e2e.exe");
    std::set<std::string> names;
    ASSERT_NO_THROW(names = ImportedLibraries(image));
    EXPECT_TRUE(names.count("SHELL32.DLL"));
}

}  // namespace
