#include "pack/Szdd.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "app/MBUtils.h"
#include "platform/Handles.h"
#include "platform/Win932.h"

namespace szdd {

namespace {

constexpr std::uint32_t kWindow = 4096;
constexpr std::uint32_t kMinLength = 3, kMaxLength = 18;
// A reference reaches back less than the whole window, so that every
// decoder reads it before the byte is overwritten, however it copies.
constexpr std::uint32_t kMaxDistance = kWindow - kMaxLength;
// The stream is encoded as if this many blanks stood before it: the
// window's first contents, which a run of blanks at the start refers to.
constexpr std::uint32_t kLeadingBlanks = kMaxLength;
// The window position of stream position 0 (the first data byte sits at
// 4096 - 16).
constexpr std::uint32_t kPositionOfZero = (kWindow - 16 - kLeadingBlanks) & (kWindow - 1);

constexpr int kHashBits = 15;
constexpr int kChainLimit = 128;
// The stream is kept from one window before the next position; the rest
// goes when this much has gathered in front of it.
constexpr std::uint32_t kSlideAfter = 1u << 20;
constexpr size_t kFlushAfter = 64 * 1024;

}  // namespace

std::string CompressedName(const std::string& name, char& lastChar) {
    size_t last = 0;
    for (size_t i = 0; i < name.size(); i += IsLeadByte(static_cast<unsigned char>(name[i])) ? 2 : 1) last = i;
    lastChar = name.empty() || last + 1 != name.size() ? 0 : name[last];
    return name.empty() ? name : name.substr(0, last) + "_";
}

Encoder::Encoder(Sink sink)
    : sink_(std::move(sink)), buffer_(kLeadingBlanks, ' '), end_(kLeadingBlanks), next_(kLeadingBlanks),
      head_(1u << kHashBits, 0), previous_(kWindow, 0) {}

namespace {

std::uint32_t Hash(unsigned char a, unsigned char b, unsigned char c) {
    const std::uint32_t v = (static_cast<std::uint32_t>(a) << 16) | (static_cast<std::uint32_t>(b) << 8) | c;
    return (v * 2654435761u) >> (32 - kHashBits);
}

}  // namespace

void Encoder::Insert(std::uint32_t at) {
    const std::uint32_t h = Hash(At(at), At(at + 1), At(at + 2));
    previous_[at & (kWindow - 1)] = head_[h];
    head_[h] = at + 1;
}

void Encoder::InsertUpTo(std::uint32_t at) {
    while (inserted_ < at && inserted_ + 2 < end_) Insert(inserted_++);
}

std::uint32_t Encoder::Longest(std::uint32_t at, std::uint32_t& from) const {
    const std::uint32_t most = std::min(kMaxLength, end_ - at);
    if (most < kMinLength) return 0;
    std::uint32_t best = 0;
    std::uint32_t candidate = head_[Hash(At(at), At(at + 1), At(at + 2))];
    for (int chain = 0; candidate != 0 && chain < kChainLimit; ++chain) {
        const std::uint32_t c = candidate - 1;
        if (c >= at || at - c > kMaxDistance) break;
        if (At(c + best) == At(at + best)) {
            std::uint32_t n = 0;
            while (n < most && At(c + n) == At(at + n)) ++n;
            if (n > best) {
                best = n;
                from = c;
                if (best == most) break;
            }
        }
        const std::uint32_t earlier = previous_[c & (kWindow - 1)];
        if (earlier == 0 || earlier - 1 >= c) break;  // the slot went to a newer position
        candidate = earlier;
    }
    return best >= kMinLength ? best : 0;
}

void Encoder::CloseGroupIfFull() {
    if (items_ < 8) return;
    flagAt_ = out_.size();
    out_.push_back('\0');
    items_ = 0;
}

void Encoder::Literal(std::uint32_t at) {
    CloseGroupIfFull();
    out_[flagAt_] = static_cast<char>(static_cast<unsigned char>(out_[flagAt_]) | (1u << items_));
    out_.push_back(static_cast<char>(At(at)));
    ++items_;
}

void Encoder::Reference(std::uint32_t from, std::uint32_t length) {
    CloseGroupIfFull();
    const std::uint32_t position = (from + kPositionOfZero) & (kWindow - 1);
    out_.push_back(static_cast<char>(position & 0xFF));
    out_.push_back(static_cast<char>(((position >> 4) & 0xF0) | (length - kMinLength)));
    ++items_;
}

bool Encoder::Flush(bool all) {
    // The open group's flag byte still changes: it goes with its group.
    const size_t ready = all || items_ == 8 ? out_.size() : flagAt_;
    if (failed_ || ready == 0 || (!all && ready < kFlushAfter)) return !failed_;
    if (!sink_(out_.data(), ready)) failed_ = true;
    out_.erase(0, ready);
    flagAt_ -= std::min(flagAt_, ready);
    return !failed_;
}

void Encoder::Encode(bool final) {
    bool cached = false;
    std::uint32_t length = 0, from = 0;
    while (next_ < end_ && (final || end_ - next_ > kMaxLength)) {
        if (!cached) {
            InsertUpTo(next_);
            length = Longest(next_, from);
        }
        cached = false;
        if (length == 0) {
            Literal(next_++);
            continue;
        }
        // One step of look-ahead: a longer reference from the next byte on
        // is worth a literal first.
        if (length < kMaxLength && end_ - next_ > kMinLength) {
            InsertUpTo(next_ + 1);
            std::uint32_t laterFrom = 0;
            const std::uint32_t later = Longest(next_ + 1, laterFrom);
            if (later > length) {
                Literal(next_++);
                length = later;
                from = laterFrom;
                cached = true;
                continue;
            }
        }
        Reference(from, length);
        next_ += length;
    }
    // A look-ahead taken but not used is found again on the next call.
}

bool Encoder::Add(const char* data, size_t size) {
    if (failed_) return false;
    if (size > 0xFFFFFFFFu - kLeadingBlanks - end_) {
        failed_ = true;
        return false;
    }
    buffer_.insert(buffer_.end(), reinterpret_cast<const unsigned char*>(data),
                   reinterpret_cast<const unsigned char*>(data) + size);
    end_ += static_cast<std::uint32_t>(size);
    added_ += size;
    Encode(false);
    const std::uint32_t keepFrom = std::min(next_, inserted_) > kWindow ? std::min(next_, inserted_) - kWindow : 0;
    if (keepFrom > base_ + kSlideAfter) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + (keepFrom - base_));
        base_ = keepFrom;
    }
    return Flush(false);
}

bool Encoder::Finish() {
    if (failed_) return false;
    Encode(true);
    return Flush(true);
}

unsigned long CompressFile(const std::string& source, const std::string& target, char lastChar,
                           std::uint64_t& written) {
    written = 0;
    FileHandle in(CreateFile932(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!in) return GetLastError();
    DWORD high = 0;
    const DWORD low = GetFileSize(in.get(), &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return GetLastError();
    if (high != 0 || low > 0xFFFFFFFFu - kLeadingBlanks) return ERROR_FILE_TOO_LARGE;
    FILETIME lastWrite{};
    if (!GetFileTime(in.get(), nullptr, nullptr, &lastWrite)) return GetLastError();

    FileHandle out(CreateFile932(target, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) return GetLastError();
    unsigned long error = 0;
    const auto write = [&](const char* data, size_t size) {
        DWORD done = 0;
        if (!WriteFile(out.get(), data, static_cast<DWORD>(size), &done, nullptr) || done != size) {
            error = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
            return false;
        }
        written += size;
        return true;
    };
    char header[kHeaderSize];
    std::memcpy(header, kMagic, sizeof kMagic);
    header[8] = 'A';
    header[9] = lastChar;
    for (int i = 0; i < 4; ++i) header[10 + i] = static_cast<char>((low >> (8 * i)) & 0xFF);
    bool ok = write(header, sizeof header);

    Encoder encoder(write);
    std::vector<char> chunk(256 * 1024);
    while (ok) {
        DWORD got = 0;
        if (!ReadFile(in.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr)) {
            error = GetLastError();
            ok = false;
        } else if (got == 0) {
            break;
        } else {
            ok = encoder.Add(chunk.data(), got);
        }
    }
    ok = ok && encoder.Finish();
    // A file that changed while it was read would not match its header.
    if (ok && encoder.added() != low) {
        error = ERROR_INVALID_DATA;
        ok = false;
    }
    if (ok && !SetFileTime(out.get(), nullptr, nullptr, &lastWrite)) {
        error = GetLastError();
        ok = false;
    }
    out.reset();
    if (ok) return 0;
    DeleteFile932(target);
    return error ? error : ERROR_WRITE_FAULT;
}

}  // namespace szdd
