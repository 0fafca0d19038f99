#!/usr/bin/env python3
"""Writes one payload of the benchmark (scripts/bench.sh) twice over: as a
Ravelin medium (SETUP.INI beside the files) and as an NSIS script that makes
the same folders, files, shortcuts, registry values and Add/Remove Programs
entry, stored without compression.

    bench-payload.py generated FOLDER NAME COUNT SIZE
    bench-payload.py sample FOLDER NAME SAMPLE_MEDIUM SAMPLE_SOURCES

"generated" writes COUNT random files of SIZE bytes into FOLDER/files;
"sample" writes only the NSIS twin of the sample package (whose own medium
the benchmark copies), with the compressed manual taken uncompressed from
its sources. The NSIS script is FOLDER/nsis.nsi; makensis builds it with
-INPUTCHARSET UTF8.
"""
import os
import sys

UNINSTALL = r"Software\Microsoft\Windows\CurrentVersion\Uninstall"


def crlf(lines):
    return ("\r\n".join(lines) + "\r\n")


def nsis_head(name, key):
    return [
        "Unicode true",
        "SetCompress off",
        "RequestExecutionLevel admin",
        'Name "NSIS Bench %s"' % name,
        'OutFile "nsis-setup.exe"',
        'InstallDir "C:\\rvbench\\nsis-%s"' % name,
        "ShowInstDetails nevershow",
        "ShowUninstDetails nevershow",
        "Page directory",
        "Page instfiles",
        "UninstPage instfiles",
    ]


def nsis_entry(name, key, extra=()):
    k = UNINSTALL + "\\" + key
    lines = [
        'WriteRegStr HKLM "%s" "DisplayName" "NSIS Bench %s"' % (k, name),
        'WriteRegStr HKLM "%s" "UninstallString" \'"$INSTDIR\\uninst.exe"\'' % k,
        'WriteRegStr HKLM "%s" "DisplayIcon" "$INSTDIR\\uninst.exe"' % k,
    ]
    for value, text in extra:
        lines.append('WriteRegStr HKLM "%s" "%s" "%s"' % (k, value, text))
    lines.append('WriteUninstaller "$INSTDIR\\uninst.exe"')
    return lines


def generated(folder, name, count, size):
    files = os.path.join(folder, "files")
    os.makedirs(files, exist_ok=True)
    block = os.urandom(size)
    for i in range(1, count + 1):
        with open(os.path.join(files, "f%d.bin" % i), "wb") as f:
            f.write(block)

    key = "RavelinBench" + name
    # The folder /D= overrides; RVPACK (the one-file figures) checks it.
    ours = ["[Title]", "Setup=Bench " + name, "UnSetupKey=" + key, "UnSetupDisplay=Bench " + name,
            "[DefaultFolder]", "Folder=(Prg)\\Ravelin Bench " + name,
            "[MakeFolder]", "Folder1=(App)\\data"]
    if count:
        ours.append("[CopyFile]")
        ours += ["File%d=(App)\\f%d.bin|(From)\\files\\f%d.bin" % (i, i, i) for i in range(1, count + 1)]
        ours += ["[ShortCut]",
                 "Make1=(App)f1.bin", "Name1=(Sta)Bench %s\\Bench one" % name,
                 "Make2=(App)f%d.bin" % count, "Name2=(Sta)Bench %s\\Bench last" % name,
                 "Make3=(App)f1.bin", "Name3=(Dsk)Bench %s" % name]
    reg = "(Cuser)Software\\RavelinBench\\" + name
    ours += ["[Registry]",
             "Key1=" + reg, "Name1=InstallFolder", "Value1=(Str)(App)",
             "Key2=" + reg, "Name2=Files", "Value2=(Dwd)$%X" % count,
             "Key3=" + reg, "Name3=Signature", "Value3=(Bin)0A0B0C0D",
             "[DeleteRegistry]", "Key1=" + reg]
    with open(os.path.join(folder, "SETUP.INI"), "wb") as f:
        f.write(crlf(ours).encode("ascii"))

    nreg = "Software\\NsisBench\\" + name
    nkey = "NsisBench" + name
    nsi = nsis_head(name, nkey)
    nsi += ["Section", "SetOutPath $INSTDIR", 'CreateDirectory "$INSTDIR\\data"']
    nsi += ['File "files/f%d.bin"' % i for i in range(1, count + 1)]
    if count:
        nsi += ['CreateDirectory "$SMPROGRAMS\\NSIS Bench %s"' % name,
                'CreateShortCut "$SMPROGRAMS\\NSIS Bench %s\\Bench one.lnk" "$INSTDIR\\f1.bin"' % name,
                'CreateShortCut "$SMPROGRAMS\\NSIS Bench %s\\Bench last.lnk" "$INSTDIR\\f%d.bin"' % (name, count),
                'CreateShortCut "$DESKTOP\\NSIS Bench %s.lnk" "$INSTDIR\\f1.bin"' % name]
    nsi += ['WriteRegStr HKCU "%s" "InstallFolder" "$INSTDIR"' % nreg,
            'WriteRegDWORD HKCU "%s" "Files" %d' % (nreg, count),
            'WriteRegBin HKCU "%s" "Signature" 0A0B0C0D' % nreg]
    nsi += nsis_entry(name, nkey)
    nsi += ["SectionEnd", "Section Uninstall"]
    nsi += ['Delete "$INSTDIR\\f%d.bin"' % i for i in range(1, count + 1)]
    if count:
        nsi += ['Delete "$SMPROGRAMS\\NSIS Bench %s\\Bench one.lnk"' % name,
                'Delete "$SMPROGRAMS\\NSIS Bench %s\\Bench last.lnk"' % name,
                'RMDir "$SMPROGRAMS\\NSIS Bench %s"' % name,
                'Delete "$DESKTOP\\NSIS Bench %s.lnk"' % name]
    nsi += ['DeleteRegKey HKCU "%s"' % nreg,
            'DeleteRegKey HKLM "%s\\%s"' % (UNINSTALL, nkey),
            'RMDir "$INSTDIR\\data"',
            'Delete "$INSTDIR\\uninst.exe"',
            'RMDir "$INSTDIR"',
            "SectionEnd"]
    with open(os.path.join(folder, "nsis.nsi"), "wb") as f:
        f.write(crlf(nsi).encode("utf-8"))


def sample(folder, name, medium, sources):
    """The sample package's work done the NSIS way: the same files (the
    manual uncompressed), folders, shortcuts, registry values, profile
    entries, file type, self-registration and entry."""
    os.makedirs(folder, exist_ok=True)
    m = lambda f: os.path.join(medium, f)
    reg = "Software\\NSIS Bench Sample"
    nkey = "NsisBenchSample"
    sm = "$SMPROGRAMS\\NSIS サンプル"
    # The file type is announced to the shell once made and once removed, as
    # Windows asks of whoever changes one (NSIS's own RefreshShellIcons; ours
    # sends the same notice when a run changed a type or class).
    nsi = ["!include FileFunc.nsh"] + nsis_head(name, nkey)
    nsi += ["Section", "SetOutPath $INSTDIR",
            'CreateDirectory "$INSTDIR\\データ\\ログ"', 'CreateDirectory "$INSTDIR\\docs"',
            'File "%s"' % m("SAMPLE.EXE"), 'File "%s"' % m("README.TXT"),
            'File "%s"' % os.path.join(sources, "MANUAL.TXT"),
            'File "%s"' % m("ソフト情報.TXT"),
            'File "/oname=docs\\ポケットガイド.htm" "%s"' % m("docs/guide.htm"),
            'File "/oname=データ\\表示設定.INI" "%s"' % m("SETTINGS.DAT"),
            'File "%s"' % m("RVSAMPLE.DLL"), 'File "%s"' % m("UNREADME.TXT"),
            'RegDLL "$INSTDIR\\RVSAMPLE.DLL"',
            'CreateDirectory "%s"' % sm,
            'CreateShortCut "%s\\NSIS サンプル.lnk" "$INSTDIR\\SAMPLE.EXE"' % sm,
            'CreateShortCut "%s\\お読みください.lnk" "$INSTDIR\\README.TXT"' % sm,
            'SetOutPath "$INSTDIR\\データ"',
            'CreateShortCut "$DESKTOP\\NSIS サンプル.lnk" "$INSTDIR\\SAMPLE.EXE" "/desktop"',
            'WriteRegStr HKCU "%s" "InstallFolder" "$INSTDIR\\"' % reg,
            'WriteRegStr HKCU "%s" "RunCount" "0"' % reg,
            'WriteRegDWORD HKCU "%s" "Flags" 12' % reg,
            'WriteRegBin HKCU "%s" "Signature" 0A0B0C0D' % reg,
            'WriteRegExpandStr HKCU "%s" "LogFolder" "%%USERPROFILE%%\\Ravelin"' % reg,
            'WriteRegStr HKCU "%s\\表示" "" "$INSTDIR\\データ"' % reg,
            'WriteRegStr HKCU "%s\\Empty" "Nothing" ""' % reg,
            'WriteINIStr "$WINDIR\\NSISSAMPLE.INI" "Settings" "Folder" "$INSTDIR"',
            'WriteINIStr "$WINDIR\\NSISSAMPLE.INI" "Settings" "Language" "日本語"',
            'WriteRegStr HKCR ".nsissample" "" "nsissample"',
            'WriteRegStr HKCR "nsissample" "" "NSIS サンプル文書"',
            'WriteRegStr HKCR "nsissample\\shell\\open\\command" "" \'"$INSTDIR\\SAMPLE.EXE" "%1"\'',
            "${RefreshShellIcons}"]
    nsi += nsis_entry(name, nkey, [("Publisher", "The Ravelin Setup Project"), ("DisplayVersion", "1.0"),
                                   ("HelpLink", "https://example.invalid/ravelin/help"),
                                   ("Comments", "NSIS サンプル")])
    # The run-after program is not started by an unattended install.
    nsi += ["SectionEnd",
            "Section Uninstall",
            'UnRegDLL "$INSTDIR\\RVSAMPLE.DLL"']
    nsi += ['Delete "$INSTDIR\\%s"' % f for f in
            ("SAMPLE.EXE", "README.TXT", "MANUAL.TXT", "ソフト情報.TXT", "docs\\ポケットガイド.htm",
             "データ\\表示設定.INI", "RVSAMPLE.DLL", "UNREADME.TXT", "データ\\ログ\\*.LOG")]
    nsi += ['Delete "%s\\NSIS サンプル.lnk"' % sm, 'Delete "%s\\お読みください.lnk"' % sm, 'RMDir "%s"' % sm,
            'Delete "$DESKTOP\\NSIS サンプル.lnk"',
            'Delete "$WINDIR\\NSISSAMPLE.INI"',
            'DeleteRegKey HKCR ".nsissample"', 'DeleteRegKey HKCR "nsissample"', "${un.RefreshShellIcons}",
            'DeleteRegKey HKCU "%s"' % reg,
            'DeleteRegKey HKLM "%s\\%s"' % (UNINSTALL, nkey),
            'RMDir "$INSTDIR\\データ\\ログ"', 'RMDir "$INSTDIR\\データ"', 'RMDir "$INSTDIR\\docs"',
            'Delete "$INSTDIR\\uninst.exe"', 'RMDir "$INSTDIR"', "SectionEnd"]
    with open(os.path.join(folder, "nsis.nsi"), "wb") as f:
        f.write(crlf(nsi).encode("utf-8"))


if __name__ == "__main__":
    if len(sys.argv) == 6 and sys.argv[1] == "generated":
        generated(sys.argv[2], sys.argv[3], int(sys.argv[4]), int(sys.argv[5]))
    elif len(sys.argv) == 6 and sys.argv[1] == "sample":
        sample(sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5])
    else:
        sys.exit(__doc__)
