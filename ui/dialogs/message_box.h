#pragma once
// The one message box of the main process. Its buttons say "是", "否", "确定", "取消" in every
// locale, each with its caption as accessible name, and it is transient for and centred on its
// owner (the main window unless told otherwise).
#include <gtkmm.h>

#include <string>

namespace kivo {

enum class MessageButtons { Ok, YesNo, OkCancel };

// The window dialogs belong to when none is given; the main window sets itself here while it
// lives. Null: dialogs are centred on the screen.
void SetDialogOwner(Gtk::Window* owner);
Gtk::Window* DialogOwner();
// Makes `dialog` transient for `owner` (else the dialog owner) and centres it there; on the
// screen when there is no owner or it is not shown.
void PlaceOnOwner(Gtk::Window& dialog, Gtk::Window* owner = nullptr);

// Shows the box modally. Returns Gtk::RESPONSE_YES, _NO, _OK or _CANCEL; closing the box by
// other means answers as its last button. `default_first` picks the first button as the default,
// else the last.
int ShowMessageBox(const std::string& text, const std::string& caption, Gtk::MessageType icon,
                   MessageButtons buttons, Gtk::Window* owner = nullptr, bool default_first = true);

// Shows a box with the one button "确定" and returns at once; the box goes when answered. The
// window keeps working meanwhile, and several such boxes may be on the screen together.
void ShowNotice(const std::string& text, const std::string& caption, Gtk::MessageType icon);

// The box on the screen now, if any (tests answer it).
Gtk::Dialog* ActiveMessageBox();

}  // namespace kivo
