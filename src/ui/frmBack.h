#pragma once
// The background window: maximised, painted by its gradient box, carrying
// the titles and the banner as transparent labels; the application's main
// window, which shows the wizard modally from its first normal-state resize.
#include "platform/Handles.h"
#include "ui/Form.h"
#include "ui/GradBox.h"

class TfrmBack : public TForm {
public:
    // Title labels (lblBackTitle1/2, lblPrgTitle1/2) go through the TForm
    // accessors by id (SetText, SetBounds, Bounds, Show, MeasureText); every
    // change repaints what lies under the label.
    TGradBox& GradBox() { return grad_; }

    // Resize handler: outside the normal window state it does nothing;
    // otherwise sets the version caption, places the title shadow, maximises
    // the window and shows the wizard modally; when the wizard's modal state
    // ends, the program ends (a quit message; the windows go with the process).
    void FormResize();

    // Draws the shown title labels over the gradient (shadows first).
    void PaintLabels(HDC dc) const;

    // The version text the window's caption was built from (for tests).
    static std::string ProgramFileVersion();

protected:
    void OnInit() override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

private:
    void CloseRequested() override;
    void ShowWizard();

    TGradBox grad_;
    GdiObject titleFont_;
    GdiObject bannerFont_;
    bool showingWizard_ = false;
};
