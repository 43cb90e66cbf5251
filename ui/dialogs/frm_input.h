#pragma once
// The look all dialogs share: no system frame, a background drawn over the whole dialog, a
// white bold title at the top left, a small close button at the top right and drawn buttons;
// most of them move when their background is dragged. TFrmInput is the general text prompt.
#include <gtkmm.h>

#include <string>

#include "ui/dialogs/dialog_body.h"

namespace kivo {

class TBorderlessDialog : public Gtk::Dialog {
public:
    TBorderlessDialog(int width, int height, bool dragged_by_background);

    Gtk::Label lblCaption;
    Gtk::Button btnClose;

protected:
    // The dialog's area, where each dialog puts its controls at their design boxes.
    TDialogBody& Body() { return body_; }
    // A drawn action button with its modal result.
    void StyleButton(Gtk::Button& button, const std::string& caption, int response);

private:
    bool imgBackDraw(const Cairo::RefPtr<Cairo::Context>& cr);
    bool imgBackMouseDown(GdkEventButton* event);

    Gtk::EventBox imgBack;
    TDialogBody body_;
    bool dragged_by_background_;
};

class TFrmInput : public TBorderlessDialog {
public:
    TFrmInput();
    ~TFrmInput() override;

    Gtk::Label lblPrompt;
    Gtk::Entry edit;
    Gtk::Button btnOK;
    Gtk::Button btnCancel;

    // The most characters typing may leave in the edit (0: no limit).
    void SetTypingLimit(int max_length);

    // The prompt on the screen now, if any.
    static TFrmInput* Active();

private:
    static void editInsertText(GtkEditable* editable, const gchar* text, gint length,
                               gint* position, gpointer form);
    int typing_limit_ = 0;
    bool limit_connected_ = false;
};

// Asks for a line of text. The value goes in and comes back as the edit's text, also when the
// prompt is cancelled (the result is then false). Masked prompts show "*" for each character.
bool ShowInputBox(const std::string& caption, const std::string& prompt, std::string& value,
                  bool password, int max_length);

}  // namespace kivo
