#pragma once
// The progress window: the run's status text, the copy gauge with its count,
// and one button that aborts during the install run and goes on at the end.
#include "ui/Form.h"

class TfrmStatus : public TForm {
public:
    // Gauge value 0 to 100 (clamped) and the count text "(done/total)".
    void SetProgress(int percent);
    int Progress() const;
    void btnAbortClick();

protected:
    void OnInit() override;
    void OnCommand(int id, int code) override;
    // The title bar cannot close this window (its Close item is greyed).
    void CloseRequested() override;
};
