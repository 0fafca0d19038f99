#include "pack/OneFile.h"

#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>

#include "app/ProfileText.h"
#include "app/ScriptKeys.h"
#include "app/uIniFile.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "platform/Handles.h"
#include "platform/Win932.h"
#include "sysops/Deletion.h"
#include "sysops/Payload.h"
#include "sysops/Sha256.h"

namespace {

constexpr DWORD kChunk = 256 * 1024;

// A file of the staged distribution, by its name as the medium holds it.
struct Packed {
    std::string from;
    onefile::Entry entry;
};

// Every file below folder (relative names), without links.
void Walk(const std::string& folder, const std::string& prefix, std::vector<Packed>& found) {
    WIN32_FIND_DATAA data;
    FindHandle find(FindFirstFile932(folder + "*", &data));
    if (!find) return;
    do {
        const std::string name = data.cFileName;
        if (name == "." || name == ".." || (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            Walk(folder + name + "\\", prefix + name + "\\", found);
            continue;
        }
        Packed p;
        p.from = folder + name;
        p.entry.name = prefix + name;
        p.entry.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        p.entry.written = (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                          data.ftLastWriteTime.dwLowDateTime;
        found.push_back(std::move(p));
    } while (FindNextFile932(find.get(), &data));
}

// A new temporary folder for the distribution before it is packed.
std::string MakeStaging() {
    const std::string temp = AddPathDelimiter(GetTempPath932(), "B");
    for (int n = 1; n < 1000; ++n) {
        const std::string folder = temp + "RVPACK" + std::to_string(n) + "\\";
        if (CreateDirectory932(folder, nullptr)) return folder;
    }
    return {};
}

class Output {
public:
    explicit Output(const std::string& path)
        : file_(CreateFile932(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    bool ok() const { return static_cast<bool>(file_) && ok_; }
    std::uint64_t size() const { return size_; }
    void Write(const void* data, size_t n) {
        DWORD put = 0;
        if (!file_ || !WriteFile(file_.get(), data, static_cast<DWORD>(n), &put, nullptr) || put != n) ok_ = false;
        size_ += n;
    }
    void Write(const std::string& bytes) { Write(bytes.data(), bytes.size()); }
    HANDLE get() const { return file_.get(); }

private:
    FileHandle file_;
    bool ok_ = true;
    std::uint64_t size_ = 0;
};

// One part: its files in order, through one deflate stream.
bool Deflate(const std::vector<const Packed*>& files, Output& out, onefile::Piece& piece, std::uint64_t base,
             const std::function<void(const std::string&)>& progress, std::string& error) {
    z_stream z = {};
    if (deflateInit(&z, Z_BEST_COMPRESSION) != Z_OK) {
        error = "圧縮を始められません。";
        return false;
    }
    Sha256 hash;
    piece.offset = out.size() - base;
    std::vector<char> in(kChunk), buffer(kChunk);
    const auto drain = [&](int flush) {
        int status = Z_OK;
        do {
            z.next_out = reinterpret_cast<Bytef*>(buffer.data());
            z.avail_out = static_cast<uInt>(buffer.size());
            status = deflate(&z, flush);
            const size_t have = buffer.size() - z.avail_out;
            hash.Update(buffer.data(), have);
            out.Write(buffer.data(), have);
        } while (z.avail_out == 0 || (flush == Z_FINISH && status != Z_STREAM_END));
    };
    for (const Packed* p : files) {
        progress("一つのファイルに " + p->entry.name);
        FileHandle file(CreateFile932(p->from, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!file) {
            error = "「" + p->from + "」を読めません。";
            deflateEnd(&z);
            return false;
        }
        std::uint64_t left = p->entry.size;
        while (left > 0) {
            DWORD got = 0;
            const DWORD want = static_cast<DWORD>(std::min<std::uint64_t>(left, in.size()));
            if (!ReadFile(file.get(), in.data(), want, &got, nullptr) || got != want) {
                error = "「" + p->from + "」を読めません(途中で変わりました)。";
                deflateEnd(&z);
                return false;
            }
            z.next_in = reinterpret_cast<Bytef*>(in.data());
            z.avail_in = got;
            drain(Z_NO_FLUSH);
            left -= got;
        }
    }
    drain(Z_FINISH);
    deflateEnd(&z);
    piece.length = out.size() - base - piece.offset;
    piece.digest = hash.Finish();
    return true;
}

bool ReadAll(const std::string& path, std::string& bytes) {
    FileHandle file(CreateFile932(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return false;
    const DWORD size = GetFileSize(file.get(), nullptr);
    if (size == INVALID_FILE_SIZE) return false;
    bytes.assign(size, '\0');
    DWORD got = 0;
    return size == 0 || (ReadFile(file.get(), bytes.data(), size, &got, nullptr) && got == size);
}

// The header checksum of the file made, written into its place.
bool StampChecksum(Output& out, size_t checksumAt) {
    if (SetFilePointer(out.get(), 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return false;
    std::vector<unsigned char> buffer(kChunk);
    std::uint64_t sum = 0, at = 0;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(out.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) return false;
        if (got == 0) break;
        for (DWORD i = 0; i < got; i += 2, at += 2) {
            if (at == checksumAt || at == checksumAt + 2) continue;
            sum += buffer[i] | (i + 1 < got ? buffer[i + 1] << 8 : 0);
            sum = (sum & 0xFFFF) + (sum >> 16);
        }
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    const auto checksum = static_cast<std::uint32_t>(sum + at);
    DWORD put = 0;
    return SetFilePointer(out.get(), static_cast<LONG>(checksumAt), nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
           WriteFile(out.get(), &checksum, 4, &put, nullptr) && put == 4;
}

}  // namespace

std::string DefaultOneFileName(const std::string& scriptPath) {
    const std::string program = IniRead(Script::Title::kSection, Script::Title::kProgram, "", scriptPath);
    std::string name;
    for (size_t i = 0; i < program.size(); ++i) {
        const auto c = static_cast<unsigned char>(program[i]);
        // A double-byte character's trail byte may look like an ASCII letter.
        if (IsDBCSLeadByteEx(932, c)) {
            ++i;
            continue;
        }
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (letter || c == '-' || c == '_' || c == '.') name += static_cast<char>(c);
    }
    while (!name.empty() && name.back() == '.') name.pop_back();
    while (!name.empty() && name.front() == '.') name.erase(0, 1);
    if (name.empty()) return "SETUP.EXE";
    if (Upper(name).size() < 4 || Upper(name).compare(Upper(name).size() - 4, 4, ".EXE") != 0) name += ".EXE";
    return name;
}

std::vector<Finding> OneFileFindings(const std::string& scriptPath) {
    std::vector<Finding> findings;
    std::string raw;
    if (!ReadAll(scriptPath, raw)) return findings;
    bool unicode = false;
    const ProfileText script(ProfileBytesFromFile(raw, unicode));
    for (const ProfileText::Line& line : script.Lines()) {
        if (line.kind != ProfileText::Line::Key || !line.counts) continue;
        if (IPos("(Edr)", line.value) > 0)
            findings.push_back({line.number, false, "RV307",
                                "「(Edr)」は、一つのファイルにまとめたパッケージでは作業フォルダのドライブ(一時フォルダのドライブ)"
                                "になり、ダウンロードしたファイルのドライブではありません。"});
        if (IPos("(Dch)", line.value) > 0)
            findings.push_back({line.number, false, "RV307",
                                "一つのファイルにまとめたパッケージにディスクはありません。「(Dch)」のところでも"
                                "ディスク交換を求められます(/S ではそのまま続行します)。"});
        if (IPos(Script::Extend::kInstallChecker, line.name) == 1 && line.name.size() == std::strlen(Script::Extend::kInstallChecker))
            findings.push_back({line.number, false, "RV308",
                                "事前チェックプログラムは作業フォルダから実行されます。その横にあるのはパッケージに含まれる"
                                "ファイルだけです(プログラムが読むファイルは [CopyFile] のコピー元に入れてください)。"});
    }
    return findings;
}

OneFileReport BuildOneFile(const BuildOptions& options, const std::string& name,
                           const std::function<void(const std::string&)>& progress) {
    OneFileReport report;
    const std::string outFolder = AddPathDelimiter(GetFullPathName932(options.out), "B");
    report.path = outFolder + name;
    const std::string staging = MakeStaging();
    if (staging.empty()) {
        report.errors.push_back("作業用の一時フォルダを作れません。");
        return report;
    }
    struct Cleanup {
        std::string folder;
        ~Cleanup() { DeleteFolderPatterns(folder, "*"); }
    } cleanup{staging};

    BuildOptions laid = options;
    laid.out = staging + "MEDIUM";
    const BuildReport built = BuildDistribution(laid, progress);
    if (!built.errors.empty()) {
        report.errors = built.errors;
        return report;
    }
    // Disks laid out by the script's own markers are one medium here.
    const std::string medium = laid.out + "\\";
    std::vector<Packed> all, files;
    if (FileExists(medium + "SETUP.INI")) {
        Walk(medium, "", all);
    } else {
        for (int disk = 1; FolderExists(medium + "DISK" + std::to_string(disk)); ++disk)
            Walk(medium + "DISK" + std::to_string(disk) + "\\", "", all);
    }
    std::map<std::string, bool> seen;
    for (Packed& p : all) {
        const std::string key = Upper(p.entry.name);
        if (key == "SETUP.EXE" || seen.count(key)) continue;  // the stub; a file on two disks is one
        seen[key] = true;
        if (!onefile::IsSafeName(p.entry.name)) {
            report.errors.push_back("「" + p.entry.name + "」という名前は一つのファイルに入れられません。");
            return report;
        }
        files.push_back(std::move(p));
    }
    // Start-up needs the script, the licence, the readme and the checker.
    std::map<std::string, bool> first = {{"SETUP.INI", true}};
    const std::string script = built.script;
    for (const auto& [section, key] : {std::pair{Script::EULA::kSection, Script::EULA::kFile},
                                       std::pair{Script::Readme::kSection, Script::Readme::kFile},
                                       std::pair{Script::Extend::kSection, Script::Extend::kInstallChecker}}) {
        const std::string value = IniRead(section, key, "", script);
        if (!value.empty()) first[Upper(RemovePathDelimiter(value, "T"))] = true;
    }
    std::vector<onefile::Entry> entries;
    std::vector<const Packed*> part[3];
    for (Packed& p : files) {
        p.entry.part = first.count(Upper(p.entry.name)) ? 1 : 2;
        part[p.entry.part].push_back(&p);
    }
    for (int k : {1, 2})
        for (const Packed* p : part[k]) {
            entries.push_back(p->entry);
            report.expanded += p->entry.size;
            ++report.files;
        }

    // The stub: the plain program without its own signature (it travels in
    // the payload), marked, its headers noted for the uninstaller.
    std::string stub;
    if (!ReadAll(options.setupExe, stub)) {
        report.errors.push_back("「" + options.setupExe + "」を読めません。");
        return report;
    }
    onefile::Trailer trailer;
    {
        Sha256 plain;
        plain.Update(stub.data(), stub.size());
        trailer.plainProgram = plain.Finish();
    }
    size_t checksumAt = 0, securityAt = 0;
    if (!onefile::HeaderFieldOffsets(stub, checksumAt, securityAt) ||
        stub.compare(onefile::kMarkOffset, sizeof onefile::kMark, onefile::kMark, sizeof onefile::kMark) == 0) {
        report.errors.push_back("「" + options.setupExe + "」は一つのファイルの元にできるプログラムではありません。");
        return report;
    }
    std::memcpy(&trailer.checksum, stub.data() + checksumAt, 4);
    std::memcpy(&trailer.securityAddress, stub.data() + securityAt, 4);
    std::memcpy(&trailer.securitySize, stub.data() + securityAt + 4, 4);
    std::memcpy(trailer.mark.data(), stub.data() + onefile::kMarkOffset, trailer.mark.size());
    std::string certificates;
    if (trailer.securityAddress != 0) {
        if (trailer.securityAddress > stub.size() || trailer.securitySize != stub.size() - trailer.securityAddress) {
            report.errors.push_back("「" + options.setupExe + "」の署名がファイルの最後にありません。");
            return report;
        }
        certificates = stub.substr(trailer.securityAddress);
        stub.resize(trailer.securityAddress);
    }
    std::memset(stub.data() + securityAt, 0, 8);
    std::memcpy(stub.data() + onefile::kMarkOffset, onefile::kMark, sizeof onefile::kMark);
    trailer.stubLength = stub.size();
    report.stub = stub.size();

    std::optional<Output> made(std::in_place, report.path);
    Output& out = *made;
    if (!out.ok()) {
        report.errors.push_back("「" + report.path + "」を作れません。");
        return report;
    }
    out.Write(stub);
    const std::string index = onefile::EncodeIndex(entries);
    trailer.index.offset = 0;
    trailer.index.length = index.size();
    {
        Sha256 h;
        h.Update(index.data(), index.size());
        trailer.index.digest = h.Finish();
    }
    out.Write(index);
    std::string error;
    if (!Deflate(part[1], out, trailer.part1, stub.size(), progress, error) ||
        !Deflate(part[2], out, trailer.part2, stub.size(), progress, error)) {
        report.errors.push_back(error);
    } else {
        trailer.certificates.offset = out.size() - stub.size();
        trailer.certificates.length = certificates.size();
        out.Write(certificates);
        // A signature is put on 8 bytes: none is needed after the trailer.
        const std::uint64_t pad = (8 - (out.size() + onefile::kTrailerSize) % 8) % 8;
        out.Write(std::string(static_cast<size_t>(pad), '\0'));
        out.Write(onefile::EncodeTrailer(trailer));
        if (!out.ok() || !StampChecksum(out, checksumAt)) report.errors.push_back("「" + report.path + "」を書けません。");
    }
    report.payload = out.size() - stub.size();
    if (!report.errors.empty()) {
        made.reset();
        DeleteFile932(report.path);
    }
    return report;
}
