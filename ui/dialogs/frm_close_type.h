#pragma once
// TFrmCloseType, the close dialog: minimise to the tray or quit, and whether to ask again.
#include "ui/dialogs/frm_input.h"

namespace kivo {

class TFrmCloseType : public TBorderlessDialog {
public:
    TFrmCloseType();

    Gtk::Frame RzRadioGroup1;
    Gtk::RadioButton Tray, Quit;
    Gtk::CheckButton chkSave;
    Gtk::Button btnOK, btnCancel;

    // The chosen index as text: "0" to the tray, "1" to quit.
    std::string Choice() const { return Quit.get_active() ? "1" : "0"; }
    // The chosen item: 0 to the tray, 1 quit, -1 none (then neither button is on).
    int ItemIndex() const;
    void SetItemIndex(int index);

private:
    // In the group but never shown: it is on while no item is chosen.
    Gtk::RadioButton NoItem;
};

// Shows the close dialog; false for Cancel, else the choice and whether to remember it.
bool AskCloseType(Gtk::Window& owner, std::string& value, bool& remember);

}  // namespace kivo
