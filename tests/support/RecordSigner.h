#pragma once
// Records written by hand, signed as the install signs its own (the digest
// kept in HKEY_LOCAL_MACHINE), so the uninstall takes them as this
// installer's and a test reaches the guards behind that check. The digests
// go again with the signer (the uninstall drops one when it deletes the
// record).
#include <string>
#include <vector>

class RecordSigner {
public:
    RecordSigner() = default;
    ~RecordSigner();
    RecordSigner(const RecordSigner&) = delete;
    RecordSigner& operator=(const RecordSigner&) = delete;

    // Signs text as the content of the record at recordFile (which the
    // caller writes, or has written); the only digest kept for it then.
    void Sign(const std::string& recordFile, const std::string& text);
    // Writes text to recordFile and signs it.
    void Write(const std::string& recordFile, const std::string& text);

private:
    std::vector<std::string> signed_;
};
