#pragma once
// The compressed files of a medium ("_" names) as the system's LZ32
// functions expand them: a 14-byte header (the magic "SZDD" 88 F0 27 33,
// mode 'A', the last character of the file's own name, the expanded length)
// and then LZSS over a 4096-byte window that starts filled with blanks and
// is written from position 4096 - 16: one flag byte before every eight
// items, its bit set for a literal byte, clear for a reference of two bytes
// (the window position's low 8 bits; then its high 4 bits in the upper
// nibble and the length - 3, 3 to 18, in the lower).
//
// LZ32 has no wide functions and reads its names in the system's code page;
// where a path has no form there (no short name, another code page), the
// program expands through this decoder and the wide file functions instead.
// It gives what LZCopy gives: the same bytes, the compressed file's time of
// last write.
#include <cstdint>
#include <string>
#include <string_view>

namespace szdd {

inline constexpr unsigned char kMagic[8] = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33};
inline constexpr size_t kHeaderSize = 14;

enum class HeaderKind { Plain, Valid, Broken };
struct Header {
    char lastChar = 0;
    std::uint32_t length = 0;
};
// Plain: the bytes do not start with the magic (LZ32 copies such a file as
// it is); Broken: the magic with a short header or another mode.
HeaderKind ReadHeader(std::string_view bytes, Header& header);

// Expands the data after a header, fed in pieces of any size. Never gives
// more than the header's length: a stream that would is refused at that
// point (LZ32 would write the excess, which no caller accepts).
class Decoder {
public:
    explicit Decoder(std::uint32_t length);
    // Appends what the bytes expand to; false once the stream is refused.
    bool Add(const char* data, size_t size, std::string& out);
    // True when exactly the header's length has come out: a stream cut
    // short ends before.
    bool Complete() const { return !refused_ && produced_ == length_; }

private:
    void Put(unsigned char c, std::string& out);

    std::uint32_t length_, produced_ = 0;
    unsigned char window_[4096];
    std::uint32_t at_ = 4096 - 16;
    unsigned flags_ = 0;  // the group's flags, shifted down; 0x100 set while some are left
    int pending_ = -1;    // the first byte of a reference whose second is still to come
    bool refused_ = false;
};

// Expands source (a plain file is copied as it is) into target, made anew,
// through the wide functions, with the source's time of last write. 0, or
// the Win32 code of the failure: ERROR_INVALID_DATA for a broken header or
// a stream that gives other than the header's length.
unsigned long ExpandFile(const std::string& source, const std::string& target);
// The same into memory.
unsigned long ExpandBytes(const std::string& source, std::string& bytes);

// The name the compressed file records for itself, as GetExpandedName
// forms it: a final "_" of the name's extension becomes the header's last
// character. The name unchanged for a plain file, one that cannot be read,
// or a header without a usable character.
std::string ExpandedName(const std::string& path);

}  // namespace szdd
