#pragma once
// Records written by hand, signed the way the install signs the records it
// writes (their digest kept in HKEY_LOCAL_MACHINE under the record's path),
// so the uninstall takes them as this installer's own and a test reaches
// the guards behind that check. Every digest it kept goes again when the
// signer dies (the uninstall drops it itself when it deletes the record).
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
