#include "ui/tabs/page_commands.h"

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
        tab->ZoomPercent =
            tab->WebControl().SetWebZoom(tab->TabHandle(), ZoomAfter(command, tab->ZoomPercent));
        links_.ShowZoom(tab->ZoomPercent);
    } catch (const std::exception&) {
        links_.MarkIfWorkerGone(tab);
    }
}

void TPageCommands::ShowActiveZoom() {
    N_TRzTabSheet* tab = links_.ActiveTab();
    links_.ShowZoom(tab ? tab->ZoomPercent : kDefaultZoomPercent);
}

}  // namespace kivo
