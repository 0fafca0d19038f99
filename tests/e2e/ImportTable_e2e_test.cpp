// The libraries the built program names in its import tables: only those
// Windows always takes from its own folders, never one that a file planted
// beside the program in a download folder could stand in for. And each
// function it imports is exported by Windows 95 and by NT 4.0, as the import
// floor file (ImportFloor.tsv beside this file) records with its sources.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "Driver.h"
#include "TestSupport.h"

using namespace e2e;

namespace {

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return text;
}

struct ImageImports {
    std::set<std::string> libraries;
    // "LIBRARY!Function" (library upper case, without ".DLL"); an import by
    // ordinal is "LIBRARY!#n".
    std::set<std::string> functions;
    WORD subsystemMajor = 0, subsystemMinor = 0;
};

// The libraries in the import and delay-import tables of a 32-bit program
// image, upper case, and the functions of the import table; a malformed
// image fails the test.
ImageImports ReadImports(const std::string& image) {
    ImageImports result;
    std::set<std::string>& names = result.libraries;
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
    result.subsystemMajor = nt->OptionalHeader.MajorSubsystemVersion;
    result.subsystemMinor = nt->OptionalHeader.MinorSubsystemVersion;
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress) {
        for (size_t offset = fileOffset(imports.VirtualAddress);; offset += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
            const auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(at(offset, sizeof(IMAGE_IMPORT_DESCRIPTOR)));
            if (!entry->Name) break;
            std::string library = name(entry->Name);
            names.insert(library);
            if (library.size() > 4 && library.compare(library.size() - 4, 4, ".DLL") == 0) library.resize(library.size() - 4);
            const DWORD thunks = entry->OriginalFirstThunk ? entry->OriginalFirstThunk : entry->FirstThunk;
            for (size_t t = fileOffset(thunks);; t += sizeof(IMAGE_THUNK_DATA32)) {
                const auto* thunk = reinterpret_cast<const IMAGE_THUNK_DATA32*>(at(t, sizeof(IMAGE_THUNK_DATA32)));
                const DWORD data = thunk->u1.AddressOfData;
                if (!data) break;
                if (data & IMAGE_ORDINAL_FLAG32) {
                    result.functions.insert(library + "!#" + std::to_string(IMAGE_ORDINAL32(data)));
                    continue;
                }
                const size_t hint = fileOffset(data);
                const char* text = at(hint + 2, 1);
                result.functions.insert(library + "!" + std::string(text, strnlen(text, image.size() - hint - 2)));
            }
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
    return result;
}

std::set<std::string> ImportedLibraries(const std::string& image) { return ReadImports(image).libraries; }

struct Floor {
    std::string nineX, nt, sources;
};

// The [imports] rows of the floor file by "LIBRARY!Function"; with a
// section name, that section's rows.
std::map<std::string, Floor> ImportFloors(const std::string& text, const std::string& wanted = "[imports]") {
    std::map<std::string, Floor> floors;
    std::istringstream lines(text);
    std::string line, section;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            section = line;
            continue;
        }
        if (section != wanted) continue;
        std::vector<std::string> fields;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, '\t');) fields.push_back(cell);
        if (fields.size() < 5) throw std::runtime_error("short row: " + line);
        floors[fields[0] + "!" + fields[1]] = Floor{fields[2], fields[3], fields[4]};
    }
    return floors;
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

class ImportTableOf : public testing::TestWithParam<const char*> {};

TEST_P(ImportTableOf, EveryFunctionIsExportedByWindows95AndNt40) {
    ImageImports imports;
    ASSERT_NO_THROW(imports = ReadImports(ReadFileBytes(BinFolder() + GetParam())));
    // Windows 95 and NT 4.0 load only images made for subsystem 4.0 or older.
    EXPECT_EQ(4, imports.subsystemMajor);
    EXPECT_EQ(0, imports.subsystemMinor);
    std::map<std::string, Floor> floors;
    ASSERT_NO_THROW(floors = ImportFloors(ReadFileBytes(BinFolder() + "ImportFloor.tsv")));
    ASSERT_GT(imports.functions.size(), 80u) << "the table was not read";
    const std::set<std::string> system = {"KERNEL32", "USER32", "GDI32", "ADVAPI32"};
    const std::set<std::string> ntFloors = {"3.1", "3.5", "3.51", "4.0", "<=4.0"};
    for (const std::string& function : imports.functions) {
        SCOPED_TRACE(function);
        const auto found = floors.find(function);
        if (found == floors.end()) {
            ADD_FAILURE() << "imported, but not in ImportFloor.tsv: find the oldest Windows that exports it";
            continue;
        }
        const std::string library = function.substr(0, function.find('!'));
        if (library == "MSVCRT") {
            EXPECT_EQ("crt4.x", found->second.nineX) << "not among the exports of the Visual C++ 4.x run-time";
            EXPECT_EQ("msvcrt40", found->second.sources);
            continue;
        }
        EXPECT_TRUE(system.count(library));
        EXPECT_EQ("95", found->second.nineX) << "Windows 95 does not export it: look it up at run time";
        EXPECT_TRUE(ntFloors.count(found->second.nt)) << "NT 4.0 does not export it: look it up at run time";
        EXPECT_FALSE(found->second.sources.empty());
    }
}

// The bytes of a section of a 32-bit program image.
std::string SectionOf(const std::string& image, const char* wanted) {
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(image.data() + dos->e_lfanew);
    const auto* sections = reinterpret_cast<const IMAGE_SECTION_HEADER*>(
        image.data() + dos->e_lfanew + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) + nt->FileHeader.SizeOfOptionalHeader);
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
        const IMAGE_SECTION_HEADER& section = sections[i];
        if (strncmp(reinterpret_cast<const char*>(section.Name), wanted, IMAGE_SIZEOF_SHORT_NAME) != 0) continue;
        if (section.PointerToRawData > image.size()) break;
        return image.substr(section.PointerToRawData, section.SizeOfRawData);
    }
    return {};
}

// Every name a program looks up at run time is in the floor file's
// [lookups] with what a person sees where it is missing: the names in its
// constant data that a library the program may load exports.
TEST_P(ImportTableOf, EveryNameItLooksUpIsInTheFloorFile) {
    const std::string data = SectionOf(ReadFileBytes(BinFolder() + GetParam()), ".rdata");
    ASSERT_GT(data.size(), 10000u);
    std::map<std::string, Floor> lookups;
    ASSERT_NO_THROW(lookups = ImportFloors(ReadFileBytes(BinFolder() + "ImportFloor.tsv"), "[lookups]"));
    std::set<std::string> listed;
    for (const auto& [function, floor] : lookups) listed.insert(function.substr(function.find('!') + 1));
    // Words of the program's own texts that some library exports too: log
    // and record words, the package libraries' entry points and the caption
    // that names the call that did not find one, and the run-time's
    // messages about its relocations.
    const std::set<std::string> texts = {"WriteFile", "DllRegisterServer", "DllUnregisterServer", "GetProcAddress",
                                         "VirtualQuery", "VirtualProtect"};
    std::vector<HMODULE> libraries;
    for (const char* name : {"KERNEL32.DLL", "USER32.DLL", "GDI32.DLL", "ADVAPI32.DLL", "NTDLL.DLL", "SHELL32.DLL",
                             "SHFOLDER.DLL", "LZ32.DLL", "VERSION.DLL", "OLE32.DLL", "COMCTL32.DLL", "PSAPI.DLL",
                             "MSVCRT.DLL"}) {
        libraries.push_back(LoadLibraryA(name));
        ASSERT_NE(nullptr, libraries.back()) << name;
    }
    std::set<std::string> found;
    std::string word;
    for (const char c : data + '\0') {
        if (isalnum(static_cast<unsigned char>(c)) || c == '_') {
            word += c;
            continue;
        }
        if (word.size() >= 4 && !texts.count(word))
            for (HMODULE library : libraries)
                if (GetProcAddress(library, word.c_str())) found.insert(word);
        word.clear();
    }
    // (RVPACK, linked without what it never calls, looks up some twenty.)
    EXPECT_GT(found.size(), 20u) << "the look-ups were not seen";
    for (const std::string& name : found) EXPECT_TRUE(listed.count(name)) << name << " is looked up, not in [lookups]";
}

INSTANTIATE_TEST_SUITE_P(Programs, ImportTableOf, testing::Values("SETUP.EXE", "RVPACK.EXE"));

TEST(ImportTable, TheReaderSeesALibraryOfATestProgram) {
    // The same reader on a program that does import SHELL32, so a reader
    // that saw nothing could not pass the test above.
    const std::string image = ReadFileBytes(BinFolder() + "test_e2e.exe");
    ImageImports imports;
    ASSERT_NO_THROW(imports = ReadImports(image));
    EXPECT_TRUE(imports.libraries.count("SHELL32.DLL"));
    // and a function a test program imports that the program itself never may.
    EXPECT_TRUE(imports.functions.count("KERNEL32!GetTickCount64"));
}

// The section names of a program image (a name longer than eight
// characters, as ".eh_frame" and every debug section's, is looked up in the
// string table behind the symbol table, which a stripped image keeps for
// those names alone) and its number of COFF symbols.
struct ImageLayout {
    std::vector<std::string> sections;
    DWORD symbols = 0;
};

ImageLayout ReadLayout(const std::string& image) {
    if (image.size() < sizeof(IMAGE_DOS_HEADER)) throw std::out_of_range("no DOS header");
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    if (dos->e_magic != IMAGE_DOS_SIGNATURE || static_cast<size_t>(dos->e_lfanew) > image.size() - sizeof(IMAGE_NT_HEADERS32))
        throw std::runtime_error("no PE");
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(image.data() + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE) throw std::runtime_error("no PE");
    const size_t first = dos->e_lfanew + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) + nt->FileHeader.SizeOfOptionalHeader;
    const size_t count = nt->FileHeader.NumberOfSections;
    if (first > image.size() || count * sizeof(IMAGE_SECTION_HEADER) > image.size() - first)
        throw std::out_of_range("section table outside the image");
    ImageLayout layout;
    layout.symbols = nt->FileHeader.NumberOfSymbols;
    const size_t strings = size_t{nt->FileHeader.PointerToSymbolTable} + size_t{layout.symbols} * IMAGE_SIZEOF_SYMBOL;
    const auto* sections = reinterpret_cast<const IMAGE_SECTION_HEADER*>(image.data() + first);
    for (size_t i = 0; i < count; ++i) {
        const char* raw = reinterpret_cast<const char*>(sections[i].Name);
        std::string name(raw, strnlen(raw, IMAGE_SIZEOF_SHORT_NAME));
        if (name.size() > 1 && name[0] == '/') {
            const size_t at = strings + std::stoul(name.substr(1));
            if (!nt->FileHeader.PointerToSymbolTable || at >= image.size()) throw std::out_of_range("long name outside");
            name.assign(image.data() + at, strnlen(image.data() + at, image.size() - at));
        }
        layout.sections.push_back(name);
    }
    return layout;
}

bool IsDebugSection(const std::string& name) { return name.rfind(".debug", 0) == 0; }

TEST(ShippedImage, CarriesNoDebugSectionsAndNoSymbolTable) {
    // Both go out on the first disk: whatever debug data or symbols they
    // carried would be bytes every copy, download and digest pays for.
    for (const char* program : {"SETUP.EXE", "RVPACK.EXE"}) {
        SCOPED_TRACE(program);
        ImageLayout layout;
        ASSERT_NO_THROW(layout = ReadLayout(ReadFileBytes(BinFolder() + program)));
        ASSERT_FALSE(layout.sections.empty());
        EXPECT_EQ(1, std::count(layout.sections.begin(), layout.sections.end(), ".text"));
        // A long name was read, so the debug sections' would be too.
        EXPECT_EQ(1, std::count(layout.sections.begin(), layout.sections.end(), ".eh_frame"));
        EXPECT_EQ(0u, layout.symbols) << "a symbol table is left in";
        for (const std::string& name : layout.sections) EXPECT_FALSE(IsDebugSection(name)) << name;
    }
    // The same reader on a test program, which is not stripped, sees both,
    // so a reader that saw nothing could not pass the case above.
    ImageLayout unstripped;
    ASSERT_NO_THROW(unstripped = ReadLayout(ReadFileBytes(BinFolder() + "test_e2e.exe")));
    EXPECT_GT(unstripped.symbols, 0u);
    EXPECT_TRUE(std::any_of(unstripped.sections.begin(), unstripped.sections.end(), IsDebugSection));
}

}  // namespace

namespace {

// The manifest resource (id 1) of a program image, as its bytes.
std::string ManifestOf(const std::string& path) {
    HMODULE image = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!image) return {};
    std::string text;
    if (HRSRC found = FindResourceA(image, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24))) {
        const DWORD size = SizeofResource(image, found);
        if (const void* data = LockResource(LoadResource(image, found))) text.assign(static_cast<const char*>(data), size);
    }
    FreeLibrary(image);
    return text;
}

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST(Manifest, ElevatedDpiAwareVistaAnd7AndEveryNamespaceDeclaredOnce) {
    const std::string manifest = ManifestOf(BinFolder() + "SETUP.EXE");
    ASSERT_FALSE(manifest.empty()) << "no manifest resource";
    // Each declaration (xmlns="..." or xmlns:p="...") names its namespace
    // once; XP SP2 can restart the machine over a second declaration.
    std::set<std::string> namespaces, prefixes;
    for (size_t at = manifest.find("xmlns"); at != std::string::npos; at = manifest.find("xmlns", at + 1)) {
        const size_t equals = manifest.find('=', at);
        const size_t open = manifest.find('"', equals);
        const size_t close = manifest.find('"', open + 1);
        ASSERT_TRUE(equals != std::string::npos && close != std::string::npos);
        const std::string prefix = manifest.substr(at, equals - at);
        const std::string uri = manifest.substr(open + 1, close - open - 1);
        EXPECT_TRUE(prefixes.insert(prefix).second) << prefix << " declared again";
        EXPECT_TRUE(namespaces.insert(uri).second) << uri << " declared again";
    }
    EXPECT_TRUE(namespaces.count("urn:schemas-microsoft-com:asm.v1"));
    // Each prefix used is declared.
    for (size_t at = manifest.find('<'); at != std::string::npos; at = manifest.find('<', at + 1)) {
        const size_t colon = manifest.find(':', at), end = manifest.find_first_of(" />", at);
        if (colon == std::string::npos || colon > end || manifest[at + 1] == '!' || manifest[at + 1] == '?') continue;
        const size_t start = manifest[at + 1] == '/' ? at + 2 : at + 1;
        EXPECT_TRUE(prefixes.count("xmlns:" + manifest.substr(start, colon - start))) << manifest.substr(at, end - at);
    }
    EXPECT_EQ(1u, Count(manifest, "requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\""));
    EXPECT_EQ(2u, Count(manifest, "supportedOS Id="));
    EXPECT_EQ(1u, Count(manifest, "{e2011457-1546-43c5-a5fe-008deee3d3f0}")) << "Vista";
    EXPECT_EQ(1u, Count(manifest, "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}")) << "7";
    EXPECT_EQ(1u, Count(manifest, "dpiAware>true</"));
    EXPECT_EQ(0u, Count(manifest, "Common-Controls")) << "no visual styles";
}

}  // namespace
