#include "ui/FolderDialog.h"

#include <shlobj.h>

#include "app/Handles.h"
#include "app/SystemLibraries.h"

UINT TFolderDialog::Flags() const {
    UINT flags = 0;
    for (TFolderDlgOption o : Options) {
        switch (o) {
        case TFolderDlgOption::bifBrowseForComputer: flags |= BIF_BROWSEFORCOMPUTER; break;
        case TFolderDlgOption::bifBrowseForPrinter: flags |= BIF_BROWSEFORPRINTER; break;
        case TFolderDlgOption::bifDontGoBelowDomain: flags |= BIF_DONTGOBELOWDOMAIN; break;
        case TFolderDlgOption::bifReturnFSAncestors: flags |= BIF_RETURNFSANCESTORS; break;
        case TFolderDlgOption::bifReturnOnlyFSDirs: flags |= BIF_RETURNONLYFSDIRS; break;
        case TFolderDlgOption::bifStatusText: flags |= BIF_STATUSTEXT; break;
        }
    }
    return flags;
}

bool TFolderDialog::Execute(HWND owner) {
    char display[MAX_PATH + 1] = {};
    BROWSEINFOA info{};
    info.hwndOwner = owner;
    info.pszDisplayName = display;
    info.lpszTitle = Title.c_str();
    info.ulFlags = Flags();
    CoTaskMem items(syslib::SHBrowseForFolderA(&info));
    if (!items) return false;
    char path[261] = {};
    if (!syslib::SHGetPathFromIDListA(static_cast<LPITEMIDLIST>(items.get()), path)) return false;
    Folder = path;
    return true;
}
