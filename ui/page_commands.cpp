#include "ui/page_commands.h"

namespace kivo {

bool TPageCommands::HandleKey(const GdkEventKey* event) {
    const KeyModifiers modifiers{
        (event->state & GDK_CONTROL_MASK) != 0, (event->state & GDK_SHIFT_MASK) != 0,
        (event->state & GDK_MOD1_MASK) != 0, (event->state & GDK_SUPER_MASK) != 0};
    const BrowserCommand command = CommandForKey(event->keyval, modifiers);
    if (command == BrowserCommand::NoCommand)
        return false;
    Run(command);
    return true;
}

void TPageCommands::RunFromPage(int32_t number, int32_t TabHandle) {
    const BrowserCommand command = CommandFromWire(number);
    if (command == BrowserCommand::NoCommand)
        return;
    // The worker waits for this event's answer: its page is not called back from inside it.
    Glib::signal_idle().connect_once(sigc::track_obj(
        [this, command, TabHandle] {
            N_TRzTabSheet* tab = links_.ActiveTab();
            if (tab && tab->TabHandle() == TabHandle)
                Run(command);
        },
        *this));
}

void TPageCommands::Run(BrowserCommand command) {
    switch (command) {
        case BrowserCommand::Reload:
            links_.Refresh();
            break;
        case BrowserCommand::Find:
            links_.OpenFind();
            break;
        case BrowserCommand::ZoomIn:
        case BrowserCommand::ZoomOut:
        case BrowserCommand::ZoomReset:
            Zoom(command);
            break;
        case BrowserCommand::NoCommand:
            break;
    }
}

void TPageCommands::Zoom(BrowserCommand command) {
    N_TRzTabSheet* tab = links_.ActiveTab();
    if (!tab || !tab->HasWebControl())
        return;
    try {
        TWebControl& control = tab->WebControl();
        const int32_t handle = tab->TabHandle();
        const int shown = control.SetWebZoom(handle, ZoomAfter(command, control.WebZoom(handle)));
        links_.ShowZoom(shown);
    } catch (const std::exception&) {
        links_.DiscardIfWorkerGone(tab);
    }
}

void TPageCommands::ShowActiveZoom() {
    Glib::signal_idle().connect_once(sigc::track_obj(
        [this] {
            N_TRzTabSheet* tab = links_.ActiveTab();
            int zoom = kDefaultZoomPercent;
            try {
                if (tab && tab->HasWebControl())
                    zoom = tab->WebControl().WebZoom(tab->TabHandle());
            } catch (const std::exception&) {
                // A page not made yet is at its natural size.
            }
            links_.ShowZoom(zoom);
        },
        *this));
}

}  // namespace kivo
