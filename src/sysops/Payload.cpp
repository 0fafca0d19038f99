#include "sysops/Payload.h"

#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "app/uStrOp.h"
#include "platform/Win932.h"
#include "sysops/Sha256.h"

namespace onefile {

namespace {

class Writer {
public:
    void U8(std::uint8_t v) { bytes.push_back(static_cast<char>(v)); }
    void U16(std::uint16_t v) { Raw(&v, 2); }
    void U32(std::uint32_t v) { Raw(&v, 4); }
    void U64(std::uint64_t v) { Raw(&v, 8); }
    void Raw(const void* p, size_t n) { bytes.append(static_cast<const char*>(p), n); }
    std::string bytes;
};

class Reader {
public:
    explicit Reader(const std::string& bytes) : bytes_(bytes) {}
    bool U8(std::uint8_t& v) { return Raw(&v, 1); }
    bool U16(std::uint16_t& v) { return Raw(&v, 2); }
    bool U32(std::uint32_t& v) { return Raw(&v, 4); }
    bool U64(std::uint64_t& v) { return Raw(&v, 8); }
    bool Raw(void* p, size_t n) {
        if (bytes_.size() - at_ < n) return false;
        std::memcpy(p, bytes_.data() + at_, n);
        at_ += n;
        return true;
    }
    bool Text(std::string& text, size_t n) {
        if (bytes_.size() - at_ < n) return false;
        text.assign(bytes_, at_, n);
        at_ += n;
        return true;
    }
    bool AtEnd() const { return at_ == bytes_.size(); }

private:
    const std::string& bytes_;
    size_t at_ = 0;
};

void PutPiece(Writer& w, const Piece& p) {
    w.U64(p.offset);
    w.U64(p.length);
    w.Raw(p.digest.data(), p.digest.size());
}
bool GetPiece(Reader& r, Piece& p) { return r.U64(p.offset) && r.U64(p.length) && r.Raw(p.digest.data(), p.digest.size()); }

constexpr std::uint32_t kMostEntries = 1'000'000;
constexpr size_t kLongestName = 240;

bool IsDeviceName(const std::string& part) {
    // The name before its first dot, as the system reads a device name.
    const std::string stem = MapString(part.substr(0, part.find('.')), LCMAP_UPPERCASE);
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};
    for (const char* device : kDevices)
        if (stem == device) return true;
    if (stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) && stem[3] >= '0' &&
        stem[3] <= '9')
        return true;
    return false;
}

}  // namespace

std::string EncodeTrailer(const Trailer& t) {
    Writer w;
    w.Raw(kTrailerMagic, sizeof kTrailerMagic);
    w.U32(static_cast<std::uint32_t>(kTrailerSize));
    w.U64(t.stubLength);
    PutPiece(w, t.index);
    PutPiece(w, t.part1);
    PutPiece(w, t.part2);
    PutPiece(w, t.certificates);
    w.U32(t.securityAddress);
    w.U32(t.securitySize);
    w.U32(t.checksum);
    w.Raw(t.mark.data(), t.mark.size());
    w.Raw(t.plainProgram.data(), t.plainProgram.size());
    static_assert(8 + 4 + 8 + 4 * 48 + 12 + 8 + 32 <= kTrailerSize, "the trailer's fields fit it");
    w.bytes.resize(kTrailerSize, '\0');
    return w.bytes;
}

bool DecodeTrailer(const std::string& bytes, Trailer& t) {
    if (bytes.size() != kTrailerSize) return false;
    Reader r(bytes);
    char magic[sizeof kTrailerMagic];
    std::uint32_t size = 0;
    return r.Raw(magic, sizeof magic) && std::memcmp(magic, kTrailerMagic, sizeof magic) == 0 && r.U32(size) &&
           size == kTrailerSize && r.U64(t.stubLength) && GetPiece(r, t.index) && GetPiece(r, t.part1) &&
           GetPiece(r, t.part2) && GetPiece(r, t.certificates) && r.U32(t.securityAddress) &&
           r.U32(t.securitySize) && r.U32(t.checksum) && r.Raw(t.mark.data(), t.mark.size()) &&
           r.Raw(t.plainProgram.data(), t.plainProgram.size());
}

std::string EncodeIndex(const std::vector<Entry>& entries) {
    Writer w;
    w.Raw("RVIX", 4);
    w.U32(static_cast<std::uint32_t>(entries.size()));
    for (const Entry& e : entries) {
        w.U16(static_cast<std::uint16_t>(e.name.size()));
        w.Raw(e.name.data(), e.name.size());
        w.U8(static_cast<std::uint8_t>(e.part));
        w.U64(e.size);
        w.U64(e.written);
    }
    return w.bytes;
}

bool DecodeIndex(const std::string& bytes, std::vector<Entry>& entries) {
    entries.clear();
    Reader r(bytes);
    char magic[4];
    std::uint32_t count = 0;
    if (!r.Raw(magic, 4) || std::memcmp(magic, "RVIX", 4) != 0 || !r.U32(count) || count > kMostEntries) return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        Entry e;
        std::uint16_t length = 0;
        std::uint8_t part = 0;
        if (!r.U16(length) || !r.Text(e.name, length) || !r.U8(part) || !r.U64(e.size) || !r.U64(e.written))
            return false;
        if (part != 1 && part != 2) return false;
        e.part = part;
        entries.push_back(std::move(e));
    }
    return r.AtEnd() && AreSafeNames(entries);
}

bool IsSafeName(const std::string& name) {
    if (name.empty() || name.size() > kLongestName || !win932::IsValidText(name)) return false;
    size_t start = 0;
    for (;;) {
        // Folders end at a "\" that is no trail byte of a double-byte character.
        size_t end = start;
        while (end < name.size() && name[end] != '\\') end += IsDBCSLeadByteEx(932, static_cast<BYTE>(name[end])) ? 2 : 1;
        const std::string part = name.substr(start, end - start);
        if (part.empty() || part == "." || part == ".." || part.back() == '.' || part.back() == ' ') return false;
        for (size_t k = 0; k < part.size(); ++k) {
            const auto c = static_cast<unsigned char>(part[k]);
            if (IsDBCSLeadByteEx(932, c)) {
                ++k;
                continue;
            }
            if (c < 0x20 || std::strchr("<>:\"/|?*", c)) return false;
        }
        if (IsDeviceName(part)) return false;
        if (end >= name.size()) return true;
        start = end + 1;
    }
}

bool AreSafeNames(const std::vector<Entry>& entries) {
    std::unordered_set<std::string> names, folders;
    for (const Entry& e : entries) {
        if (!IsSafeName(e.name)) return false;
        const std::string key = MapString(e.name, LCMAP_UPPERCASE);
        if (!names.insert(key).second || folders.count(key)) return false;
        for (size_t at = key.find('\\'); at != std::string::npos; at = key.find('\\', at + 1)) {
            // (a 0x5C trail byte only makes a folder name that matches nothing)
            const std::string folder = key.substr(0, at);
            if (names.count(folder)) return false;
            folders.insert(folder);
        }
    }
    return true;
}

bool HeaderFieldOffsets(const std::string& image, size_t& checksumAt, size_t& securityAt) {
    if (image.size() < 0x40 || image[0] != 'M' || image[1] != 'Z') return false;
    std::uint32_t nt = 0;
    std::memcpy(&nt, image.data() + 0x3C, 4);
    const size_t optional = static_cast<size_t>(nt) + 24;
    if (nt > image.size() || image.size() - optional < 96 + 8 * 5 || image.compare(nt, 4, std::string("PE\0\0", 4)) != 0)
        return false;
    std::uint16_t magic = 0;
    std::memcpy(&magic, image.data() + optional, 2);
    if (magic != 0x10B) return false;  // 32-bit images only
    checksumAt = optional + 64;
    securityAt = optional + 96 + 8 * 4;  // the data directory's fifth entry
    return true;
}

std::uint32_t ImageChecksum(const std::string& image) {
    size_t checksumAt = 0, securityAt = 0;
    if (!HeaderFieldOffsets(image, checksumAt, securityAt)) return 0;
    std::uint64_t sum = 0;
    for (size_t i = 0; i < image.size(); i += 2) {
        if (i == checksumAt || i == checksumAt + 2) continue;
        std::uint32_t word = static_cast<unsigned char>(image[i]);
        if (i + 1 < image.size()) word |= static_cast<std::uint32_t>(static_cast<unsigned char>(image[i + 1])) << 8;
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint32_t>(sum + image.size());
}

}  // namespace onefile

using namespace onefile;

namespace {

constexpr std::uint32_t kChunk = 256 * 1024;
constexpr std::uint64_t kLargestIndex = 64ull << 20;

bool Within(const Piece& piece, std::uint64_t payloadLength) {
    return piece.offset <= payloadLength && piece.length <= payloadLength - piece.offset;
}

// The folders of a name under base, made as needed.
bool MakeFoldersFor(const std::string& base, const std::string& name) {
    for (size_t at = name.find('\\'); at != std::string::npos; at = name.find('\\', at + 1)) {
        const std::string folder = base + name.substr(0, at);
        const DWORD attributes = MachineChanges().Attributes(folder);
        if (attributes != INVALID_FILE_ATTRIBUTES) {
            if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
            continue;
        }
        if (!MachineChanges().CreateFolder(folder)) return false;
    }
    return true;
}

}  // namespace

Payload::Payload(std::shared_ptr<OpenedFile> image, const Trailer& trailer)
    : image_(std::move(image)), trailer_(trailer) {}

bool Payload::ReadAt(std::uint64_t offset, void* buffer, std::uint32_t size) {
    DWORD got = 0;
    return image_->SeekTo(offset) && image_->Read(buffer, size, got) && got == size;
}

std::unique_ptr<Payload> Payload::Find(std::shared_ptr<OpenedFile> image, unsigned long& error) {
    error = 0;
    if (!image) return nullptr;
    std::string headers(4096, '\0');
    DWORD got = 0;
    if (!image->Rewind() || !image->Read(headers.data(), static_cast<DWORD>(headers.size()), got)) return nullptr;
    headers.resize(got);
    if (headers.size() < kMarkOffset + sizeof kMark || headers.compare(kMarkOffset, sizeof kMark, kMark, sizeof kMark) != 0)
        return nullptr;  // a plain program
    // From here on the file says it is a one-file: anything amiss is damage.
    error = ERROR_INVALID_DATA;
    size_t checksumAt = 0, securityAt = 0;
    unsigned long long fileSize = 0;
    if (!onefile::HeaderFieldOffsets(headers, checksumAt, securityAt) || !image->Size(fileSize)) return nullptr;
    std::uint32_t certificates = 0, certificatesSize = 0;
    std::memcpy(&certificates, headers.data() + securityAt, 4);
    std::memcpy(&certificatesSize, headers.data() + securityAt + 4, 4);
    // A signature made after the build follows the payload.
    std::uint64_t end = fileSize;
    if (certificates != 0) {
        if (certificates > fileSize || certificatesSize > fileSize - certificates) return nullptr;
        end = certificates;
    }
    if (end < kTrailerSize) return nullptr;
    std::string raw(kTrailerSize, '\0');
    std::unique_ptr<Payload> found(new Payload(image, Trailer{}));
    Trailer& t = found->trailer_;
    if (!found->ReadAt(end - kTrailerSize, raw.data(), kTrailerSize) || !DecodeTrailer(raw, t)) return nullptr;
    if (t.stubLength < headers.size() || t.stubLength > end - kTrailerSize) return nullptr;
    const std::uint64_t length = end - kTrailerSize - t.stubLength;
    if (!Within(t.index, length) || !Within(t.part1, length) || !Within(t.part2, length) ||
        !Within(t.certificates, length) || t.index.length > kLargestIndex)
        return nullptr;
    std::string index(static_cast<size_t>(t.index.length), '\0');
    if (!found->ReadAt(t.stubLength + t.index.offset, index.data(), static_cast<std::uint32_t>(index.size())))
        return nullptr;
    if (Sha256Hex(index) != Sha256Hex(t.index.digest) || !DecodeIndex(index, found->entries_)) return nullptr;
    error = 0;
    return found;
}

std::uint64_t Payload::PartBytes(int part) const {
    std::uint64_t total = 0;
    for (const Entry& e : entries_)
        if (e.part == part) total += e.size;
    return total;
}

const Entry* Payload::Lookup(const std::string& name) const {
    const std::string key = Upper(name);
    for (const Entry& e : entries_)
        if (Upper(e.name) == key) return &e;
    return nullptr;
}

unsigned long Payload::Extract(int part, const std::string& folder,
                               const std::function<bool(std::uint64_t, std::uint64_t)>& progress) {
    const Piece& piece = part == 1 ? trailer_.part1 : trailer_.part2;
    const std::string base = AddPathDelimiter(folder, "B");
    std::vector<const Entry*> files;
    for (const Entry& e : entries_)
        if (e.part == part) files.push_back(&e);
    const std::uint64_t total = PartBytes(part);

    std::vector<std::string> written;
    OpenedFilePtr out;
    const auto fail = [&](unsigned long code) {
        out.reset();
        for (const std::string& path : written) MachineChanges().DeleteFile(path);
        return code;
    };
    z_stream z = {};
    if (inflateInit(&z) != Z_OK) return ERROR_NOT_ENOUGH_MEMORY;
    struct End {
        z_stream& z;
        ~End() { inflateEnd(&z); }
    } end{z};

    Sha256 hash;
    std::vector<char> in(kChunk), buffer(kChunk);
    std::uint64_t read = 0, done = 0, left = 0;
    size_t next = 0;
    const Entry* current = nullptr;
    // Opens the next file of the part, and finishes those that are empty.
    const auto openNext = [&]() -> unsigned long {
        while (!current || left == 0) {
            if (current) {
                FILETIME time = {static_cast<DWORD>(current->written), static_cast<DWORD>(current->written >> 32)};
                out->SetTime(time);
                if (!out->Close()) return GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
                out.reset();
                current = nullptr;
            }
            if (next == files.size()) return 0;
            current = files[next++];
            left = current->size;
            const std::string path = base + current->name;
            if (!MakeFoldersFor(base, current->name)) return ERROR_CANNOT_MAKE;
            out = MachineChanges().Open(path, GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
            if (!out) return GetLastError() ? GetLastError() : ERROR_CANNOT_MAKE;
            written.push_back(path);
        }
        return 0;
    };
    if (const unsigned long code = openNext()) return fail(code);
    int status = Z_OK;
    while (status != Z_STREAM_END) {
        if (z.avail_in == 0) {
            if (read == piece.length) return fail(ERROR_INVALID_DATA);  // the stream ends too soon
            const auto size = static_cast<std::uint32_t>(std::min<std::uint64_t>(kChunk, piece.length - read));
            if (!ReadAt(trailer_.stubLength + piece.offset + read, in.data(), size)) return fail(ERROR_INVALID_DATA);
            hash.Update(in.data(), size);
            read += size;
            z.next_in = reinterpret_cast<Bytef*>(in.data());
            z.avail_in = size;
        }
        z.next_out = reinterpret_cast<Bytef*>(buffer.data());
        z.avail_out = static_cast<uInt>(buffer.size());
        status = inflate(&z, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) return fail(ERROR_INVALID_DATA);
        size_t have = buffer.size() - z.avail_out;
        const char* p = buffer.data();
        while (have > 0) {
            // More bytes than the index gives the part's files: not ours.
            if (!current) return fail(ERROR_INVALID_DATA);
            const auto n = static_cast<DWORD>(std::min<std::uint64_t>(have, left));
            DWORD put = 0;
            if (!out->Write(p, n, put) || put != n) return fail(GetLastError() ? GetLastError() : ERROR_DISK_FULL);
            p += n;
            have -= n;
            left -= n;
            done += n;
            if (const unsigned long code = openNext()) return fail(code);
        }
        if (progress && !progress(done, total)) return fail(ERROR_CANCELLED);
    }
    if (current || read != piece.length || z.avail_in != 0) return fail(ERROR_INVALID_DATA);
    // Nothing extracted counts before the whole part matched.
    if (hash.Finish() != piece.digest) return fail(ERROR_INVALID_DATA);
    return 0;
}

unsigned long Payload::WritePlainProgram(const std::string& path) {
    if (trailer_.stubLength > (256ull << 20) || trailer_.certificates.length > (16ull << 20)) return ERROR_INVALID_DATA;
    std::string program(static_cast<size_t>(trailer_.stubLength), '\0');
    if (!ReadAt(0, program.data(), static_cast<std::uint32_t>(program.size()))) return ERROR_INVALID_DATA;
    std::string certificates(static_cast<size_t>(trailer_.certificates.length), '\0');
    if (!certificates.empty() &&
        !ReadAt(trailer_.stubLength + trailer_.certificates.offset, certificates.data(),
                static_cast<std::uint32_t>(certificates.size())))
        return ERROR_INVALID_DATA;
    size_t checksumAt = 0, securityAt = 0;
    if (!HeaderFieldOffsets(program, checksumAt, securityAt)) return ERROR_INVALID_DATA;
    std::memcpy(program.data() + kMarkOffset, trailer_.mark.data(), trailer_.mark.size());
    std::memcpy(program.data() + checksumAt, &trailer_.checksum, 4);
    std::memcpy(program.data() + securityAt, &trailer_.securityAddress, 4);
    std::memcpy(program.data() + securityAt + 4, &trailer_.securitySize, 4);
    program += certificates;
    Sha256 hash;
    hash.Update(program.data(), program.size());
    if (hash.Finish() != trailer_.plainProgram) return ERROR_INVALID_DATA;
    OpenedFilePtr out = MachineChanges().Open(path, GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
    if (!out) return GetLastError() ? GetLastError() : ERROR_CANNOT_MAKE;
    DWORD put = 0;
    FILETIME time = {};
    const bool ok = out->Write(program.data(), static_cast<DWORD>(program.size()), put) && put == program.size() &&
                    (!image_->Time(time) || out->SetTime(time)) && out->Close();
    if (ok) return 0;
    const unsigned long code = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
    out.reset();
    MachineChanges().DeleteFile(path);
    return code;
}
