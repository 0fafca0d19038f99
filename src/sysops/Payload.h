#pragma once
// The one-file download: the plain program (the stub) followed by a payload
// holding what a medium would hold. RVPACK writes it; the program finds it
// through its own held file, checks it and extracts it into its private
// working folder.
//
// Layout after the stub (little-endian):
//   index   the entries: name (CP932, "\" between folders), part, size and
//           time of last write, in the order their bytes follow
//   part 1  one deflate stream of the script, the licence, the readme and
//           the checker (start-up needs them)
//   part 2  one deflate stream of every other file (the install's sources)
//   the plain program's own certificate table, when it was signed
//   zero bytes, so that the whole file ends on 8 bytes
//   trailer kTrailerSize bytes: where each piece lies, its SHA-256, and
//           what the stub had in its headers before RVPACK changed them
// The payload ends where the file's certificate table begins (a signature
// made after the build), or with the file: found through the headers, and
// the stub carries a mark in its MS-DOS header so that a file cut short is
// told from a plain program. Nothing it holds is used before its digest
// has matched.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/SystemChanges.h"

namespace onefile {

// In the stub's MS-DOS header, the reserved words at offset 0x1C.
inline constexpr size_t kMarkOffset = 0x1C;
inline constexpr char kMark[8] = {'R', 'V', 'O', 'N', 'E', 'F', 'I', 'L'};
inline constexpr size_t kTrailerSize = 320;
inline constexpr char kTrailerMagic[8] = {'R', 'V', 'P', 'A', 'Y', 0x1A, 1, 0};

using Digest = std::array<std::uint8_t, 32>;

struct Piece {
    std::uint64_t offset = 0;  // from the payload's first byte
    std::uint64_t length = 0;
    Digest digest{};  // of the bytes as stored
};

struct Trailer {
    std::uint64_t stubLength = 0;
    Piece index, part1, part2, certificates;
    // The stub's header fields as the plain program has them.
    std::uint32_t securityAddress = 0, securitySize = 0, checksum = 0;
    std::array<char, 8> mark{};
    Digest plainProgram{};  // SHA-256 of the plain program, byte for byte
};

std::string EncodeTrailer(const Trailer& trailer);
bool DecodeTrailer(const std::string& bytes, Trailer& trailer);

struct Entry {
    std::string name;  // relative, "\" between folders
    int part = 2;
    std::uint64_t size = 0;
    std::uint64_t written = 0;  // FILETIME
};

std::string EncodeIndex(const std::vector<Entry>& entries);
// False for anything that is not a well-formed index of safe names.
bool DecodeIndex(const std::string& bytes, std::vector<Entry>& entries);

// A name extraction may write under its own folder only: relative, folders
// separated by "\", no empty part, no "." or "..", no ":" (drives,
// streams), no device name (CON, NUL, COM1, ...), no part ending in a dot
// or a blank, no control or wildcard characters, valid CP932.
bool IsSafeName(const std::string& name);
// No two names that differ only in case, and no name that is another's
// folder; every name safe.
bool AreSafeNames(const std::vector<Entry>& entries);

// The PE header checksum of a whole image (the field itself counted as 0).
std::uint32_t ImageChecksum(const std::string& image);
// The offset of the optional header's CheckSum field and of the security
// directory entry; false when the bytes are no 32-bit PE image.
bool HeaderFieldOffsets(const std::string& image, size_t& checksumAt, size_t& securityAt);

}  // namespace onefile

// The payload of the program's own file, found and read through the handle
// start-up holds (nobody may write it while the program runs).
class Payload {
public:
    // Null with error 0 when the file carries no payload (a plain program);
    // null with ERROR_INVALID_DATA when it carries the mark but what follows
    // is cut short, damaged or not safe to extract (the whole index and its
    // names are checked here).
    static std::unique_ptr<Payload> Find(std::shared_ptr<OpenedFile> image, unsigned long& error);

    const std::vector<onefile::Entry>& Entries() const { return entries_; }
    // The expanded bytes of a part.
    std::uint64_t PartBytes(int part) const;
    // The entry of a name (without regard to case); null when none.
    const onefile::Entry* Lookup(const std::string& name) const;

    // Extracts the part's files under folder (made as needed; each file a
    // new one), hashing the stored bytes as they are read. 0 once every file
    // is whole and the digest matched; otherwise the code (ERROR_INVALID_DATA
    // for a damaged part) and nothing this call wrote is left. progress,
    // when given, hears the expanded bytes so far and the part's total, and
    // may stop the extraction by returning false (ERROR_CANCELLED).
    unsigned long Extract(int part, const std::string& folder,
                          const std::function<bool(std::uint64_t, std::uint64_t)>& progress = {});

    // Writes the plain program (the stub with its own headers and
    // certificate table back) to path, a new file, and checks it against its
    // digest; 0 or the code (nothing left on failure).
    unsigned long WritePlainProgram(const std::string& path);

private:
    Payload(std::shared_ptr<OpenedFile> image, const onefile::Trailer& trailer);
    bool ReadAt(std::uint64_t offset, void* buffer, std::uint32_t size);

    std::shared_ptr<OpenedFile> image_;
    onefile::Trailer trailer_;
    std::vector<onefile::Entry> entries_;
};
