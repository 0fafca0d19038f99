// Our profile reader and writer against the system's own functions on this
// Japanese (code page 932) prefix, on a corpus of odd files: every name in
// every file, in several spellings, and names that are missing.
#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "app/uIniFile.h"

namespace {

using namespace std::string_literals;

struct CorpusFile {
    const char* name;
    std::string bytes;
};

std::string Repeat(const std::string& piece, size_t times) {
    std::string text;
    for (size_t i = 0; i < times; ++i) text += piece;
    return text;
}

// Bytes that look like nothing in particular, the same on every run.
std::string Binary(size_t size, unsigned seed) {
    std::string bytes;
    for (size_t i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        const unsigned char c = static_cast<unsigned char>(seed >> 16);
        // Now and then a character the reader acts on.
        static const char kActive[] = "[]=\r\n\"' ;\t";
        bytes += (seed >> 28) == 0 ? kActive[(seed >> 8) % (sizeof kActive - 1)] : static_cast<char>(c);
    }
    if (bytes.size() >= 2 && (bytes[0] == '\xFF' || bytes[0] == '\xFE' || bytes[0] == '\xEF')) bytes[0] = 'x';
    return bytes;
}

std::vector<CorpusFile> Corpus() {
    // CP932: 表 = 95 5C, ソ = 83 5C, ポ = 83 7C, ゾ = 83 5D, ー = 81 5B.
    return {
        {"DUPS.INI",
         "[Main]\r\nKey=first\r\nkey=second\r\nKEY=third\r\nOnly=one\r\n"
         "[main]\r\nKey=in the second section\r\nLater=only in the second section\r\n"
         "[Other]\r\nKey=other\r\n[MAIN]\r\nKey=third section\r\n"},
        {"QUOTES.INI",
         "[Q]\r\nBoth=\"quoted\"\r\nSingle='single'\r\nMixed=\"mixed'\r\nMixed2='mixed\"\r\nLeft=\"left only\r\n"
         "Right=right only\"\r\nInner=a \"b\" c\r\nInner2=\"a\" and \"b\"\r\nEmpty=\"\"\r\nEmpty2=''\r\nOne=\"\r\n"
         "OneS='\r\nSpaced=  \"  in quotes  \"  \r\nDbcs=\"表ソポ\"\r\nLeadQuote=\"\x81\"\r\nLeadQuote2=\"a\x81\"\"\r\n"
         "Triple=\"\"\"\r\n\"QuotedKey\"=v\r\n"},
        {"BLANKS.INI",
         "  [Blank Sec]  \r\n\tTab\t=\tvalue with tabs\t\r\n  Spaces   =   v  \r\nInner Space = a  b \r\n"
         "CtrlZ=\x1Avz\x1A\r\nVtFf=\x0Bvf\x0C\r\nSep=\x1Cvs\x1F\r\nWide=\x81\x40wide\x81\x40\r\n"
         "\x81\x40WideKey=w\r\nNbsp=\xA0n\xA0\r\n \t \r\n[ Padded ]\r\nP=padded section\r\n[Tail ]  \r\nT=t\r\n"},
        {"COMMENTS.INI",
         "; leading comment\r\n[C]\r\n; comment\r\n;Semi=semi value\r\n# Hash=hash value\r\n#H2=h2\r\n"
         "// Slash=slash\r\nReal=real\r\n;Real=commented\r\n[D]\r\nRem Real=r\r\n"},
        {"MISSING.INI", "[Empty]\r\n[AlsoEmpty]\r\n\r\n[Full]\r\nA=a\r\n"},
        {"TRAIL.INI",
         "[表]\r\n表=表\r\nソ=C:\\ソフト\\\r\nポ=|ポ|\r\n[ソフト]\r\nフォルダ=C:\\表計算\\ソ\r\n"
         "[ポ|ー]\r\nKey=v ポ\r\n[ゾ]\r\nZ=in zo\r\n[ゾ\r\nOpenZo=v\r\n[a\x81]\r\nLeadBracket=v\r\n"
         "Key\x81=v\r\nK\x81==v2\r\n"},
        {"LONG.INI",
         "[Long]\r\nV255=" + std::string(255, 'a') + "\r\nV70000=" + std::string(70000, 'b') + "z\r\nDbcs=" +
             Repeat("表", 40000) + "\r\nQuotedLong=\"" + std::string(66000, 'q') + "\"\r\n" +
             std::string(32000, 'K') + "=long name\r\n" + std::string(70000, 'K') + "=long name\r\n"},
        {"NEWLINES.INI",
         "[CR]\rA=cr only\rB=b\r[LF]\nA=lf only\nB=b\n[LFCR]\n\rA=lfcr\n\rB=b\n\r[Mixed]\r\n\r\nA=a\r\r\nB=b\n\n\nC=c\r\n"
         "[Blank]\r\n\r\n\r\nA=after blank lines\r\n"},
        {"LASTLINE.INI", "[S]\r\nA=a\r\nLast=no newline"},
        {"LASTHEADER.INI", "[S]\r\nA=a\r\n[End]"},
        {"BRACKETS.INI",
         "[nobracket\r\nK=after a header without bracket\r\n[a]b]\r\nK=ab\r\n[x] trailing\r\nK=x\r\n  [indented]\r\n"
         "K=indented\r\n[]\r\nK=empty name\r\n[k=v]\r\nK=kv\r\n[[double]]\r\nK=double\r\nnot[a]section\r\n"},
        {"EQUALS.INI",
         "[E]\r\nk = v\r\nEmpty=\r\nBlankValue=   \r\n=nameless\r\nTwo==v\r\nSpaced = = v\r\n = \r\nNoKey\r\n"
         "NoKey=later\r\nA=b=c\r\n"},
        {"FULLWIDTH.INI",
         "[Ｆｕｌｌ]\r\nＡｂｃ=full-width\r\nαβ=greek\r\nΑΒ=GREEK\r\nжз=cyr\r\nabc=ascii\r\n[ｆｕｌｌ]\r\nＡｂｃ=2\r\n"},
        {"EMPTY.INI", ""},
        {"BINARY.BIN", Binary(6000, 7)},
        {"BINARY2.BIN", Binary(3000, 12345) + "\r\n[Tail]\r\nK=v\r\n"},
        {"NUL.INI",
         "[N\0ul]\r\nK\0ey=v\r\nV=va\0lue\r\n[Plain]\r\nK=\0v\r\nQ=\"a\0\"\r\n"s},
        {"TOP.INI", "Top=before any section\r\n=\r\nTop=again\r\n[S]\r\nTop=in S\r\n"},
        {"UTF8BOM.INI", "\xEF\xBB\xBF[U]\r\nK=\xE8\xA1\xA8\r\nE=\xC3\xA9\r\n"},
        {"UTF16.INI", "\xFF\xFE[\0U\0]\0\r\0\n\0K\0=\0\x68\x88\r\0\n\0"s},
        {"LEADS.INI",
         "[L]\r\nEnd=v\x81\r\nBeforeEq\x81=v\r\nBefore\x81\r\nNext=swallowed\r\n"
         "Invalid=\x81\x20x\r\nHigh=\x80\xFD\xFE\xFF\r\nNec=\x87\x90\xED\x40\xFA\x40\r\nLone=\x81"},
        {"CTRLZ.INI", "[Z]\r\nA=a\r\n\x1A"},
    };
}

// Every name the file might hold, in the spellings a caller might use.
void Candidates(const std::string& bytes, std::set<std::string>& sections, std::set<std::string>& keys) {
    auto add = [](std::set<std::string>& set, const std::string& name) {
        if (name.size() > 200) return;  // the long key is checked on its own
        set.insert(name);
        std::string swapped = name;
        for (char& c : swapped)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
            else if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        set.insert(swapped);
        set.insert(" " + name + "\t");
    };
    size_t start = 0;
    while (start <= bytes.size()) {
        size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        start = end + 1;
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos) continue;
        line = line.substr(first);
        const size_t close = line.rfind(']');
        if (line[0] == '[' && close != std::string::npos) {
            add(sections, line.substr(1, close - 1));
            const size_t inner = line.substr(1, close - 1).find_first_not_of(" \t");
            if (inner != std::string::npos) add(sections, line.substr(1 + inner, close - 1 - inner));
        }
        const size_t equals = line.find('=');
        std::string key = line.substr(0, equals);
        const size_t last = key.find_last_not_of(" \t");
        key = last == std::string::npos ? std::string() : key.substr(0, last + 1);
        if (!key.empty()) add(keys, key);
        add(keys, line);
    }
    for (const char* extra : {"", "Missing", "K", "A", "B", "Key", "Top", "表", "Ａｂｃ", "ａｂｃ", "ABC", "αβ",
                              "ΑΒ", "ЖЗ"})
        add(keys, extra);
    for (const char* extra : {"", "Missing", "S", "main", "Ｆｕｌｌ", "FULL"}) add(sections, extra);
}

std::string SystemRead(const std::string& section, const std::string& key, const std::string& def,
                       const std::string& file, size_t capacity) {
    std::string buffer(capacity, '\0');
    const DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), def.c_str(), buffer.data(),
                                             static_cast<DWORD>(capacity), file.c_str());
    EXPECT_LT(n + 2, capacity) << "buffer too small for the system's answer";
    return buffer.substr(0, n);
}

// What the system hands back for bytes it has to take through UTF-16: a
// byte pair with no character becomes the system's default character, two
// codes of one character become one. Equal for every ordinary text.
std::string ThroughUtf16(const std::string& text) {
    if (text.empty()) return text;
    const int wn = MultiByteToWideChar(932, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(wn), L'\0');
    MultiByteToWideChar(932, 0, text.data(), static_cast<int>(text.size()), wide.data(), wn);
    const int n = WideCharToMultiByte(932, 0, wide.data(), wn, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(932, 0, wide.data(), wn, out.data(), n, nullptr, nullptr);
    return out;
}

std::string Shown(const std::string& text) {
    std::string out;
    for (unsigned char c : text.substr(0, 80)) {
        char hex[8];
        if (c >= 0x20 && c < 0x7F) out += static_cast<char>(c);
        else {
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return text.size() > 80 ? out + "...(" + std::to_string(text.size()) + " bytes)" : out;
}

const char kMarker[] = "<missing>";

TEST(ProfileEquality, ReaderGivesWhatTheSystemGivesForEveryNameOfEveryFile) {
    ScratchFolder dir;
    size_t compared = 0, throughUtf16 = 0, found = 0;
    std::vector<CorpusFile> corpus = Corpus();
    for (const CorpusFile& f : corpus) {
        dir.Write(f.name, f.bytes);
        const std::string file = dir / f.name;
        // Written an hour ago: the reader keeps such a file from its first
        // read on (one written just now it reads again each time), so the
        // kept copy is what is compared.
        WriteTimeAgo(file, 3600);
        std::set<std::string> sections, keys;
        Candidates(f.bytes, sections, keys);
        const size_t capacity = f.bytes.size() * 2 + 4096;
        for (const std::string& section : sections) {
            for (const std::string& key : keys) {
                const std::string system = SystemRead(section, key, kMarker, file, capacity);
                const std::string ours = IniRead(section, key, kMarker, file);
                ++compared;
                if (ours != kMarker) ++found;
                if (ours != system) ++throughUtf16;
                EXPECT_EQ(system, ThroughUtf16(ours))
                    << f.name << " [" << Shown(section) << "] " << Shown(key) << ": system " << Shown(system)
                    << ", ours " << Shown(ours);
            }
            // The numbered lists, for every prefix of a name that ends in a digit.
            for (const std::string& key : keys) {
                const size_t digits = key.find_last_not_of("0123456789");
                if (digits == std::string::npos || digits + 1 == key.size()) continue;
                const std::string prefix = key.substr(0, digits + 1);
                std::vector<std::string> system;
                for (int n = 1;; ++n) {
                    const std::string value = SystemRead(section, prefix + std::to_string(n), "", file, capacity);
                    if (value.empty()) break;
                    system.push_back(value);
                }
                std::vector<std::string> ours = IniReadList(section, prefix, file);
                for (std::string& value : ours) value = ThroughUtf16(value);
                EXPECT_EQ(system, ours) << f.name << " [" << Shown(section) << "] list " << Shown(prefix);
            }
        }
    }
    // Files that are not there.
    // A name of 32 K characters or more the system cannot even take (its
    // UTF-16 form would not fit its counted strings); ours finds it all
    // the same.
    const std::string longKey(32000, 'K');
    EXPECT_EQ(SystemRead("Long", longKey, kMarker, dir / "LONG.INI", 300000),
              IniRead("Long", longKey, kMarker, dir / "LONG.INI"));
    EXPECT_EQ("long name", IniRead("Long", std::string(70000, 'K'), kMarker, dir / "LONG.INI"));
    for (const std::string& file : {dir / "NONE.INI", dir.path(), dir / "NO\\FOLDER.INI"})
        EXPECT_EQ(SystemRead("S", "K", kMarker, file, 64), IniRead("S", "K", kMarker, file)) << file;
    std::printf("compared %zu reads in %zu files (%zu found, %zu equal only after the system's UTF-16 trip)\n",
                compared, corpus.size(), found, throughUtf16);
    EXPECT_GT(found, 900u);  // the candidates do hit the files
}

}  // namespace
