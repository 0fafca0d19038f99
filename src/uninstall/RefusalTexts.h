#pragma once
// The uninstall run's texts for entries it leaves alone or cannot finish:
// each is the line under the entry in the failure log.
#include "uninstall/KeyGuards.h"

// Why an entry was left alone; each is the second line of its log entry.
inline constexpr char kNotQualified[] =
    "ドライブ名(C:\\など)かネットワーク共有(\\\\サーバー名\\共有名)から始まる完全なパスではないため、"
    "処理しませんでした。\r\n";
inline constexpr char kWildcardEntry[] = "ワイルドカード(*・?)を含むため、処理しませんでした。この項目ではワイルドカードは使えません。\r\n";
inline constexpr char kWildcardInFolderPart[] = "フォルダ名の部分にワイルドカード(*・?)を含むため、処理しませんでした。\r\n";
inline constexpr char kWildcardInProtected[] =
    "システムや他のプログラムのファイルがあるフォルダのため、ワイルドカード(*・?)による削除は行いませんでした。\r\n";
inline constexpr char kWildcardOutside[] =
    "インストールフォルダの外のため、ワイルドカードによる削除は行いませんでした"
    "(インストールフォルダの外では、記録の[DeleteFolder]にあるフォルダの中で、「*」「?」の前に3文字以上ある名前だけを使います)。\r\n";
inline constexpr char kProtectedFolder[] =
    "ドライブやネットワーク共有のルート、またはシステムのフォルダ(Windows・Program Files・ユーザーのフォルダなど)か、"
    "それを含むフォルダのため、削除しませんでした。\r\n";
inline constexpr char kPatternRefused[] =
    "ファイル名だけのパターンではない(「\\」「/」「:」「..」のいずれかを含む)ため、追加削除に使用しませんでした。\r\n";
inline constexpr char kSharedKey[] = "レジストリの最上位のキー、またはWindowsや他のプログラムと共用のキーのため、削除しませんでした。\r\n";
inline constexpr char kNotUninstallEntry[] =
    "「プログラム(アプリケーション)の追加と削除」の登録キーではないため、削除しませんでした。\r\n";
inline constexpr char kOtherProgramsEntry[] =
    "この登録は他のプログラムのもの(アンインストールのコマンドがこのフォルダの「UNSETUP.INI」を指していない)のため、"
    "削除しませんでした。\r\n";
inline constexpr char kNotTheRecordsFolder[] =
    "起動時に指定された「UNSETUP.INI」のあるフォルダではないため、記録にないファイル・フォルダの削除は行いませんでした。\r\n";
inline constexpr char kKeyRemains[] = "キーを削除できませんでした。\r\n";
inline constexpr char kUnusablePath[] = "ファイル名に「:」を含むなど、ファイルの名前として使えない形のため、処理しませんでした。\r\n";
inline constexpr char kOwnFile[] =
    "アンインストーラ(UNRAVEL.EXE)・プログラムIDの一覧(RVSET98.INI)・記録(UNSETUP.INI)・"
    "進行状況(UNSETUP.RUN)のいずれかのため、削除しませんでした。\r\n";
inline constexpr char kThroughLink[] =
    "リンク(ジャンクション・シンボリックリンク)を通る場所のため、処理しませんでした。"
    "リンク：";
inline constexpr char kUnheldFolder[] =
    "途中のフォルダを開けず、リンクでないことを確かめられない場所のため、処理しませんでした。フォルダ：";
inline constexpr char kIsLink[] =
    "リンク(ジャンクション・シンボリックリンク)のため、リンク先を含めて削除しませんでした。\r\n";
inline constexpr char kCountNotLowered[] = "(追加情報)共有ファイルの参照カウントを減らせなかったため、このファイルは残しました。\r\n";
inline constexpr char kRepeatedShared[] = "同じ共有ファイルの参照カウントはすでに減らしたため、省略";
inline constexpr char kUninstallEntryKey[] =
    "「プログラム(アプリケーション)の追加と削除」の登録は、この項目では削除しません"
    "(アンインストールを開始した「UNSETUP.INI」を指す登録だけが、登録の処理で削除されます)。\r\n";
inline constexpr char kOtherClassKey[] =
    "記録の関連付けにない拡張子が使うクラス、またはURLプロトコルのクラスのため、削除しませんでした。\r\n";
inline constexpr char kOtherUsersKey[] = "他のユーザーの設定のため、削除しませんでした。\r\n";
inline constexpr char kWindowsClassKey[] = "Windowsが使うファイルの種類・クラスの登録のため、削除しませんでした。\r\n";
inline constexpr char kUntrustedClassKey[] =
    "記録(UNSETUP.INI)がインストール時のものと確かめられないため、クラスの登録は削除しませんでした。\r\n";
inline constexpr char kNotShortcut[] = "ショートカット(.LNK・.PIF・.URL)ではないため、削除しませんでした。\r\n";
inline constexpr char kProgramOutside[] = "インストールフォルダの外のプログラムのため、実行しませんでした。\r\n";
inline constexpr char kProgramNotRun[] =
    "インストールの後に書き換えられたか、このインストーラがインストールしたものではないため、実行しませんでした。\r\n";
inline constexpr char kNotUnregistered[] =
    "インストールの後に書き換えられたか、このインストーラが登録したものではないため、登録の解除"
    "(DllUnregisterServer)を行いませんでした。\r\n";

// The log line of a key the guards refused.
inline const char* RefusalText(KeyRefusal refusal) {
    switch (refusal) {
    case KeyRefusal::UninstallEntry: return kUninstallEntryKey;
    case KeyRefusal::OtherUser: return kOtherUsersKey;
    case KeyRefusal::WindowsClass: return kWindowsClassKey;
    case KeyRefusal::NotTrusted: return kUntrustedClassKey;
    case KeyRefusal::OtherClass: return kOtherClassKey;
    default: return kSharedKey;
    }
}
