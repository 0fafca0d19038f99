#pragma once
// Base of the program's four windows: each is a dialog built from an .rc
// template whose CLASS names the window ("TfrmMain", ...), so tests and
// accessibility tools find it by class and its controls by id.
#include <windows.h>

#include <initializer_list>
#include <map>
#include <string>
#include <utility>
#include <vector>

class TForm {
public:
    TForm() = default;
    virtual ~TForm();
    TForm(const TForm&) = delete;
    TForm& operator=(const TForm&) = delete;

    // Creates the (hidden unless the template says otherwise) window from the
    // dialog template, owned by owner or else by the application window;
    // false when the template or class is missing.
    bool Create(HINSTANCE instance, int templateId, HWND owner);
    void Destroy();
    // Lets go of the window without destroying it, for the end of the
    // program: the end of the process takes every window down at once, where
    // destroying each first would hide it in turn (which some window systems
    // make wait). The window gets no more of this object's handlers.
    void Abandon();

    HWND Handle() const { return handle_; }
    // Child control by id; null when there is none.
    HWND Item(int id) const;

    // Small accessors by control id; an unknown id does nothing and reads as
    // empty / false / an empty rectangle. Frames and groups contain controls
    // as in the designer: a control is on screen only while it and all its
    // containers are shown, and moving a container moves its contents.
    void SetText(int id, const std::string& text);
    std::string GetText(int id) const;
    void Enable(int id, bool enabled);
    bool IsEnabled(int id) const;
    void Show(int id, bool shown);
    bool IsShown(int id) const;  // the control's own visible flag
    void Check(int id, bool checked);
    bool IsChecked(int id) const;
    // The windows are laid out in pixels of a 96 DPI screen; this is such a
    // length in pixels of the screen at hand (144 DPI: 1.5 times).
    static int Scaled(int designPixels);
    // Position in client coordinates of this window.
    void SetBounds(int id, int x, int y, int w, int h);
    RECT Bounds(int id) const;
    void Focus(int id);

    // The window itself.
    void SetCaption(const std::string& caption);
    std::string Caption() const;
    int ClientWidth() const;
    int ClientHeight() const;
    void SetVisible(bool visible);
    bool Visible() const;
    void SetEnabled(bool enabled);
    bool Enabled() const;
    // Width and height of the text of control id drawn in its own font
    // (lines separated by CR LF count as lines): what auto size would take.
    SIZE MeasureText(int id) const;

    // What becomes of the window when its modal state ends.
    enum class ModalEnd {
        Hide,
        // The program ends with this window: it stays as it is, and ending
        // the process takes every window down at once.
        StayShown,
    };
    // Modal showing of our own: disables the owner, shows the window, pumps
    // messages until a modal result is set and accepted by FormCloseQuery,
    // then runs FormClose, hides the window (unless StayShown), re-enables
    // the windows it disabled and returns the modal result.
    int ShowModal(ModalEnd end = ModalEnd::Hide);
    // Stores the modal result; the modal loop then asks FormCloseQuery and
    // ends with it when the query agrees (else the result is cleared).
    void SetModalResult(int result);
    int ModalResult() const { return modalResult_; }
    bool InModal() const { return inModal_; }

protected:
    // Window events. OnCommand gets WM_COMMAND's control id and notification.
    virtual void OnInit() {}
    virtual void OnCommand(int /*id*/, int /*code*/) {}
    // Any other message; return true and set result when handled.
    virtual bool OnMessage(UINT /*msg*/, WPARAM /*wp*/, LPARAM /*lp*/, LRESULT& /*result*/) { return false; }
    // Called when a modal result is about to be set (and on a title-bar
    // close): set canClose to false to keep the window open.
    virtual void FormCloseQuery(bool& /*canClose*/) {}
    // Called when the window is being hidden at the end of its modal state.
    virtual void FormClose() {}
    // Title-bar close / WM_CLOSE: a modal window ends with result 2, any
    // other window hides.
    virtual void CloseRequested();
    // Declares which frame or group contains which controls (child, container
    // pairs) and puts every control's screen visibility in line with its own
    // flag (taken from the template) and its containers.
    void SetContainers(std::initializer_list<std::pair<int, int>> pairs);
    // Sets the client area to w x h design pixels, keeping the position.
    void SetClientSize(int w, int h);
    // SetBounds in design pixels.
    void SetDesignBounds(int id, int x, int y, int w, int h) {
        SetBounds(id, Scaled(x), Scaled(y), Scaled(w), Scaled(h));
    }
    void CenterOnScreen();

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static INT_PTR Dispatch(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    bool OwnVisible(int id) const;
    bool ContainerShown(int id) const;
    void ApplyVisibility(int id);

    HWND handle_ = nullptr;
    std::map<int, int> containerOf_;
    std::map<int, bool> ownVisible_;
    int modalResult_ = 0;
    bool inModal_ = false;
};

// The application window: it carries the program's taskbar button with the
// application title and is never seen itself (it has no size). Every form
// created without an owner belongs to it; activating it (from the taskbar)
// hands the activation on to the program's last active window. Made once;
// false when it could not be made (the forms then stand on their own).
bool CreateApplicationWindow(HINSTANCE instance, const std::string& title);
// Null while there is none.
HWND ApplicationWindow();

// Keyboard handling of the dialog manager (Tab, mnemonics, default button)
// for the active window; true when the message was used.
bool FormDialogKeys(MSG& msg);

// Registers the window classes of the four windows and of the gauge and
// gradient controls (class names "TfrmBack", "TfrmMain", "TfrmStatus",
// "TfrmCustomDlg", "TGauge", "TGradBox"). Safe to call more than once.
bool RegisterFormClasses(HINSTANCE instance);
