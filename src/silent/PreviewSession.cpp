#include "silent/PreviewSession.h"

#include <windows.h>

#include "app/DryChanges.h"
#include "app/RunLog.h"
#include "app/SetupState.h"
#include "app/uStrOp.h"
#include "platform/Win932.h"
#include "record/RecordKeys.h"
#include "session/CommandLine.h"
#include "session/Session.h"
#include "silent/SilentSession.h"
#include "silent/SilentView.h"

namespace {

constexpr const char* kPreviewAnswerer = "プレビュー(/S と同じ答え)";

// One line to the standard output and the log.
void Tell(const std::string& line) {
    WriteStandard932(STD_OUTPUT_HANDLE, line + "\r\n");
    LogLine("プレビュー", line);
}

// The door is the stand-in for the run only: the session's own working
// folder is made and removed as in any start.
class DryRun {
public:
    explicit DryRun(DryChanges& dry) { UseChanges(&dry); }
    ~DryRun() { UseChanges(nullptr); }
    DryRun(const DryRun&) = delete;
    DryRun& operator=(const DryRun&) = delete;
};

}  // namespace

int RunPreviewSession(const LaunchCommand& command) {
    Tell("【プレビュー】何も変更しません。以下は /S で実行した場合の変更です。");
    DryChanges dry(Tell);
    const int code = RunSilentSession(command, [&](Session& session, TSilentView& view) {
        const bool uninstall = State().Mode == "UNSETUP";
        Tell(uninstall ? "アンインストール: " + State().RecordFile
                       : "インストール先: " + view.Options().folderText +
                             " (質問には /S と同じく答えます: フォルダは作成し、空き容量が足りないか分からなければ中止します)");
        view.SetEcho(Tell);
        int result = 0;
        {
            const DryRun run(dry);
            result = session.Run(view, kPreviewAnswerer);
        }
        if (!uninstall) {
            std::string record;
            const std::string path = AddPathDelimiter(State().InstallFolder, "B") + RecordFiles::kRecord;
            if (!State().InstallFolder.empty() && dry.Contents(path, record)) {
                Tell("【書き込まれる " + path + "】");
                WriteStandard932(STD_OUTPUT_HANDLE, record);
                LogBlock("プレビュー", record);
            } else {
                Tell("【アンインストール記録は書き込まれません】");
            }
        }
        return result;
    });
    Tell("【終了コード】" + std::to_string(code));
    return code;
}
