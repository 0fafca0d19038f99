#pragma once
// The shell's folder browser as a small component: a title, an option set
// and the chosen folder.
#include <windows.h>

#include <set>
#include <string>

enum class TFolderDlgOption {
    bifBrowseForComputer,
    bifBrowseForPrinter,
    bifDontGoBelowDomain,
    bifReturnFSAncestors,
    bifReturnOnlyFSDirs,
    bifStatusText,
};
using TFolderDlgOptions = std::set<TFolderDlgOption>;

class TFolderDialog {
public:
    std::string Title;
    TFolderDlgOptions Options{TFolderDlgOption::bifReturnOnlyFSDirs};
    std::string Folder;  // the chosen folder after a successful Execute

    // The BIF_ flags of the option set.
    UINT Flags() const;
    // Shows the browser owned by owner; true and Folder set on a choice,
    // false on cancel (Folder unchanged).
    bool Execute(HWND owner);
};
