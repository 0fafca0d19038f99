#include "platform/SzddExpand.h"

#include <windows.h>

#include <cstring>
#include <functional>
#include <vector>

#include "platform/Handles.h"
#include "platform/Win932.h"

namespace szdd {

namespace {

constexpr std::uint32_t kWindowMask = 4096 - 1;
constexpr DWORD kChunk = 64 * 1024;

using Sink = std::function<unsigned long(const char* data, size_t size)>;

// Reads until the buffer is full or the file ends.
bool ReadFully(HANDLE file, char* buffer, DWORD size, DWORD& got) {
    got = 0;
    while (got < size) {
        DWORD n = 0;
        if (!ReadFile(file, buffer + got, size - got, &n, nullptr)) return false;
        if (n == 0) break;
        got += n;
    }
    return true;
}

// The whole of an open file, expanded or as it is, into the sink.
unsigned long Pump(HANDLE in, const Sink& sink) {
    std::vector<char> chunk(kChunk);
    DWORD got = 0;
    if (!ReadFully(in, chunk.data(), kChunk, got)) return GetLastError();
    Header header;
    switch (ReadHeader(std::string_view(chunk.data(), got), header)) {
    case HeaderKind::Broken:
        return ERROR_INVALID_DATA;
    case HeaderKind::Plain:
        while (got > 0) {
            if (const unsigned long error = sink(chunk.data(), got)) return error;
            if (!ReadFile(in, chunk.data(), kChunk, &got, nullptr)) return GetLastError();
        }
        return 0;
    case HeaderKind::Valid:
        break;
    }
    Decoder decoder(header.length);
    std::string out;
    size_t from = kHeaderSize;
    while (got > from) {
        out.clear();
        if (!decoder.Add(chunk.data() + from, got - from, out)) return ERROR_INVALID_DATA;
        if (const unsigned long error = sink(out.data(), out.size())) return error;
        from = 0;
        if (!ReadFile(in, chunk.data(), kChunk, &got, nullptr)) return GetLastError();
    }
    return decoder.Complete() ? 0 : ERROR_INVALID_DATA;
}

FileHandle OpenSource(const std::string& source) {
    // Nothing may change the file while it is read (LZ32 opens it alone).
    return FileHandle(CreateFile932(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

bool IsLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

HeaderKind ReadHeader(std::string_view bytes, Header& header) {
    if (bytes.size() < sizeof kMagic || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0)
        return HeaderKind::Plain;
    if (bytes.size() < kHeaderSize || bytes[8] != 'A') return HeaderKind::Broken;
    header.lastChar = bytes[9];
    header.length = 0;
    for (int i = 3; i >= 0; --i) header.length = (header.length << 8) | static_cast<unsigned char>(bytes[10 + i]);
    return HeaderKind::Valid;
}

Decoder::Decoder(std::uint32_t length) : length_(length) { std::memset(window_, ' ', sizeof window_); }

void Decoder::Put(unsigned char c, std::string& out) {
    if (produced_ == length_) {
        refused_ = true;
        return;
    }
    window_[at_] = c;
    at_ = (at_ + 1) & kWindowMask;
    out.push_back(static_cast<char>(c));
    ++produced_;
}

bool Decoder::Add(const char* data, size_t size, std::string& out) {
    for (size_t i = 0; i < size && !refused_; ++i) {
        const unsigned char b = static_cast<unsigned char>(data[i]);
        if (!(flags_ & 0x100)) {
            flags_ = b | 0xFF00u;
            continue;
        }
        if (flags_ & 1) {
            Put(b, out);
            flags_ >>= 1;
            continue;
        }
        if (pending_ < 0) {
            pending_ = b;
            continue;
        }
        // Copied a byte at a time: a reference may reach into what it writes.
        std::uint32_t from = static_cast<std::uint32_t>(pending_) | ((b & 0xF0u) << 4);
        const int length = (b & 0x0F) + 3;
        pending_ = -1;
        flags_ >>= 1;
        for (int n = 0; n < length && !refused_; ++n) {
            Put(window_[from], out);
            from = (from + 1) & kWindowMask;
        }
    }
    return !refused_;
}

unsigned long ExpandFile(const std::string& source, const std::string& target) {
    const FileHandle in = OpenSource(source);
    if (!in) return GetLastError();
    FILETIME lastWrite{};
    if (!GetFileTime(in.get(), nullptr, nullptr, &lastWrite)) return GetLastError();
    FileHandle out(CreateFile932(target, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) return GetLastError();
    const unsigned long error = Pump(in.get(), [&](const char* data, size_t size) -> unsigned long {
        DWORD put = 0;
        if (size > 0 && (!WriteFile(out.get(), data, static_cast<DWORD>(size), &put, nullptr) || put != size))
            return GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
        return 0;
    });
    if (error) return error;
    if (!SetFileTime(out.get(), nullptr, nullptr, &lastWrite)) return GetLastError();
    // A write the system could not finish shows at the close.
    return CloseHandle(out.release()) ? 0 : GetLastError();
}

unsigned long ExpandBytes(const std::string& source, std::string& bytes) {
    bytes.clear();
    const FileHandle in = OpenSource(source);
    if (!in) return GetLastError();
    return Pump(in.get(), [&](const char* data, size_t size) -> unsigned long {
        bytes.append(data, size);
        return 0;
    });
}

std::string ExpandedName(const std::string& path) {
    const FileHandle in = OpenSource(path);
    char bytes[kHeaderSize];
    DWORD got = 0;
    Header header;
    if (!in || !ReadFully(in.get(), bytes, sizeof bytes, got) ||
        ReadHeader(std::string_view(bytes, got), header) != HeaderKind::Valid)
        return path;
    // The name part, walked by characters: its first ".", its last
    // character and its last letter.
    size_t dot = std::string::npos, last = std::string::npos;
    bool lowerCase = true;
    for (size_t i = 0; i < path.size();) {
        const unsigned char c = static_cast<unsigned char>(path[i]);
        const size_t width = IsDBCSLeadByteEx(win932::kCodePage, c) && i + 1 < path.size() ? 2 : 1;
        if (width == 1 && (c == '\\' || c == '/' || c == ':')) {
            dot = last = std::string::npos;
        } else {
            if (width == 1 && c == '.' && dot == std::string::npos) dot = i;
            if (width == 1 && IsLetter(c)) lowerCase = c >= 'a';
            last = i;
        }
        i += width;
    }
    const unsigned char lastChar = static_cast<unsigned char>(header.lastChar);
    if (dot == std::string::npos || last == std::string::npos || last <= dot || path[last] != '_' ||
        last + 1 != path.size() || lastChar <= ' ' || lastChar >= 0x80 || std::strchr("\\/:*?\"<>|", lastChar))
        return path;
    char replaced = static_cast<char>(lastChar);
    if (IsLetter(lastChar)) replaced = static_cast<char>(lowerCase ? (lastChar | 0x20) : (lastChar & ~0x20));
    return path.substr(0, last) + replaced;
}

}  // namespace szdd
