#pragma once
// The one door through which the runs change the machine, and through which
// they read what those changes touch: files and folders, the registry, the
// profile files, the shell's links and a library's own registration. Two
// things stand behind it: the machine itself (the default), and a dry
// stand-in that changes nothing, answers every read from the machine plus
// what it has "done" so far, and lists each change (SETUP.EXE /PREVIEW).
// It is chosen once, before a run starts; nothing above asks which one it
// talks to.
//
// The operations mirror the system calls they stand for, one call each, so
// that a change and its listing are the same event. Failures are Win32
// codes (and the thread's last error where the system call sets one).
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// A name in a folder with its attributes.
struct FolderEntry {
    std::string name;
    DWORD attributes = 0;
};

// A file or folder opened through the door, closed when it goes.
class OpenedFile {
public:
    virtual ~OpenedFile() = default;
    virtual bool Read(void* buffer, DWORD size, DWORD& got) = 0;
    virtual bool Write(const void* data, DWORD size, DWORD& put) = 0;
    virtual bool Rewind() = 0;  // back to the first byte
    virtual bool SeekTo(unsigned long long offset) = 0;  // to that byte from the start
    virtual bool SetEnd() = 0;  // the file ends where it was last written
    virtual bool Flush() = 0;
    virtual bool Size(unsigned long long& size) = 0;
    virtual bool Time(FILETIME& lastWrite) = 0;
    virtual bool SetTime(const FILETIME& lastWrite) = 0;
    // Asked of the object opened (not of whatever its name names now).
    virtual unsigned long Attributes(DWORD& attributes) = 0;
    // How many names the object has (hard links); 1 where the system
    // keeps no count. 0 or the code.
    virtual unsigned long Links(DWORD& links) = 0;
    // Set on the object opened, never through a name that may have been
    // pointed elsewhere meanwhile (NT family; elsewhere
    // ERROR_CALL_NOT_IMPLEMENTED). 0 or the code.
    virtual unsigned long SetHeldAttributes(DWORD attributes) = 0;
    // The name goes when the last handle closes; a read-only file loses the
    // attribute first, unless it has other names (the attribute is the
    // file's, which those names share): then ERROR_ACCESS_DENIED and
    // nothing changes. 0 or the code.
    virtual unsigned long MarkForDeletion() = 0;
    // A held folder's entries (without "." and ".."), listed through it.
    virtual std::vector<FolderEntry> List() = 0;
    // The system's close, whose failure a write must hear of.
    virtual bool Close() = 0;
};
using OpenedFilePtr = std::unique_ptr<OpenedFile>;

class SystemChanges {
public:
    virtual ~SystemChanges() = default;

    // ---- Files and folders
    virtual DWORD Attributes(const std::string& path) = 0;  // INVALID_FILE_ATTRIBUTES when absent
    virtual bool AttributesEx(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& data) = 0;
    // What FindFirstFile/FindNextFile find for the pattern; false (with the
    // last error) when nothing.
    virtual bool Find(const std::string& pattern, std::vector<WIN32_FIND_DATAA>& found) = 0;
    // CreateFile: null with the last error set when it fails.
    virtual OpenedFilePtr Open(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                               DWORD flags) = 0;
    virtual bool CreateFolder(const std::string& path) = 0;
    virtual bool RemoveFolder(const std::string& path) = 0;
    virtual bool DeleteFile(const std::string& path) = 0;
    virtual bool SetAttributes(const std::string& path, DWORD attributes) = 0;
    // MoveFileEx; flags 0 is MoveFile. An empty target with
    // MOVEFILE_DELAY_UNTIL_REBOOT deletes at the next start.
    virtual bool Move(const std::string& from, const std::string& to, DWORD flags) = 0;
    // Expands an LZ-compressed file (or copies a plain one) into a new
    // target; 0 or the code.
    virtual unsigned long Expand(const std::string& source, const std::string& target) = 0;

    // ---- Profile files the system keeps itself (mapped to the registry,
    // or in UTF-16): its own functions. Null key or value deletes.
    virtual bool WriteProfile(const char* section, const char* key, const char* value, const std::string& file) = 0;
    virtual bool ReadProfile(const std::string& section, const std::string& key, const std::string& file,
                             std::string& value) = 0;

    // ---- Registry. Keys are hive and path below it; names may be empty
    // (the default value).
    virtual LONG CreateKey(HKEY hive, const std::string& subkey) = 0;
    // Creates the key when needed, then sets the value.
    virtual LONG SetValue(HKEY hive, const std::string& subkey, const std::string& name, DWORD type,
                          const std::string& data) = 0;
    virtual LONG QueryValue(HKEY hive, const std::string& subkey, const std::string& name, DWORD& type,
                            std::string& data) = 0;
    // The code of opening the key (ERROR_FILE_NOT_FOUND: not there).
    virtual LONG KeyState(HKEY hive, const std::string& subkey) = 0;
    virtual LONG KeyCounts(HKEY hive, const std::string& subkey, DWORD& subkeys, DWORD& values) = 0;
    virtual LONG DeleteValue(HKEY hive, const std::string& subkey, const std::string& name) = 0;
    // The key itself only (it must hold no subkeys).
    virtual LONG DeleteKey(HKEY hive, const std::string& subkey) = 0;
    // The key with everything below it, depth first; a link key goes
    // itself, what it points at stays. One attempt; nothing reported.
    virtual void DeleteKeyTree(HKEY hive, const std::string& subkey) = 0;

    // ---- What other code does: the shell saving a link, a library's own
    // registration, a program started, the restart. what says it in one
    // line; made names the file act makes (empty: none); act does it and
    // tells whether it went well.
    virtual bool Outside(const std::string& what, const std::string& made, const std::function<bool()>& act) = 0;

    // ---- Said where the changes are listed, and nowhere else: a run's
    // decision that changes nothing (kept, refused, not found); and what the
    // changes up to the matching Said() are for, in one line (a copy, an
    // INI entry, a count), made only when someone lists them.
    virtual void Note(const std::string& line) = 0;
    virtual void Say(const std::function<std::string()>& line) = 0;
    virtual void Said() = 0;
};

// What the changes made while it lives are for (see Say).
class ChangeSaid {
public:
    explicit ChangeSaid(const std::function<std::string()>& line);
    ~ChangeSaid();
    ChangeSaid(const ChangeSaid&) = delete;
    ChangeSaid& operator=(const ChangeSaid&) = delete;
};

// The door in use: the machine itself unless UseChanges chose another.
SystemChanges& Changes();
// Chosen once, before a run (null: the machine itself again).
void UseChanges(SystemChanges* changes);
// The machine itself, for one who stands in front of it.
SystemChanges& MachineChanges();
