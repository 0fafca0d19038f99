#include "ui/FolderDialog.h"

#include <shlobj.h>

#include "platform/Win932.h"

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
    std::string folder;
    if (!BrowseForFolder932(owner, Title, Flags(), folder)) return false;
    Folder = folder;
    return true;
}
