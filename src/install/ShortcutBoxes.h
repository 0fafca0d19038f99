#pragma once
// Which of the wizard's four shortcut boxes governs a [ShortCut] entry. The
// install run makes or skips an entry by it, start-up checks the boxes by it,
// and the package tool warns of an entry no box governs.
#include <string>

// The shortcut box (0 desktop, 1 start menu, 2 start-up, 3 send-to) that
// decides whether the [ShortCut] entry with this Name (as read with its
// default "Default") is made; -1 when none does. Start-up and the install
// run both decide by it.
int ShortcutBoxOf(const std::string& name);

// Which shortcut boxes the [ShortCut] entries need, walked as the install
// run walks them: Make1, Make2, ... up to the first empty one, each with its
// Name (a missing one is "Default", the start menu's).
struct ShortcutBoxes {
    bool desktop = false, startMenu = false, startUp = false, sendTo = false;
};
ShortcutBoxes ShortcutBoxesFrom(const std::string& scriptFile);
