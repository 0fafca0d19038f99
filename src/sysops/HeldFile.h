#pragma once
// A file held open for reading while nobody else may write, rename or
// delete it: what is checked through it is what a later load or start of
// the same path finds, as long as the object lives.
#include <windows.h>

#include <string>

#include "app/SystemChanges.h"

class HeldFile {
public:
    // Opens the file (read sharing only). Fails when the file is missing
    // or someone else already holds it for writing or deleting.
    explicit HeldFile(const std::string& path);

    const std::string& path() const { return path_; }
    bool ok() const { return static_cast<bool>(file_); }
    // The SHA-256 of the whole file read through the handle, as 64
    // lower-case hexadecimal digits; empty when it is not held or cannot
    // be read.
    std::string Digest() const;
    // The handle it is held through, for a read of the same bytes (null
    // when it is not held).
    OpenedFile* file() const { return file_.get(); }

private:
    std::string path_;
    OpenedFilePtr file_;
};
