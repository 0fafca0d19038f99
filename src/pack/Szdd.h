#pragma once
// The compressor of the medium's "_" files, in the format the system's LZ32
// functions and the program's own decoder (platform/SzddExpand.h, where the
// format is described) expand.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/SzddExpand.h"

namespace szdd {

// The medium's name for the compressed form of a file name: its last
// character replaced by "_" (never cutting a double-byte character), and
// the byte the header keeps for it (0 when it is a double-byte one).
std::string CompressedName(const std::string& name, char& lastChar);

// Compresses a stream fed in pieces. The sink receives the compressed data
// (without the header) in order; a false from it stops the encoder.
class Encoder {
public:
    using Sink = std::function<bool(const char* data, size_t size)>;
    explicit Encoder(Sink sink);
    bool Add(const char* data, size_t size);
    // Encodes what is left; the stream then has exactly the bytes added.
    bool Finish();
    std::uint64_t added() const { return added_; }

private:
    void Encode(bool final);
    std::uint32_t Longest(std::uint32_t at, std::uint32_t& from) const;
    void Insert(std::uint32_t at);
    void InsertUpTo(std::uint32_t at);
    void Literal(std::uint32_t at);
    void Reference(std::uint32_t from, std::uint32_t length);
    void CloseGroupIfFull();
    bool Flush(bool all);
    unsigned char At(std::uint32_t at) const { return buffer_[at - base_]; }

    Sink sink_;
    std::vector<unsigned char> buffer_;  // the stream from base_ on
    std::uint32_t base_ = 0, end_ = 0, next_ = 0, inserted_ = 0;
    std::vector<std::uint32_t> head_, previous_;  // positions + 1; 0 for none
    std::string out_;
    size_t flagAt_ = 0;
    int items_ = 8;
    bool failed_ = false;
    std::uint64_t added_ = 0;
};

// Writes target as the compressed form of source, with lastChar in the
// header and the source's time of last write. 0 or the Win32 code of the
// failure (ERROR_FILE_TOO_LARGE for a file of 4 GiB or more); written is the
// target's size.
unsigned long CompressFile(const std::string& source, const std::string& target, char lastChar,
                           std::uint64_t& written);

}  // namespace szdd
