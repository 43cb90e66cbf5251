#include "ui/left/mini_game_list.h"

#include "data/catalogue/mini_games.h"
#include "ui/left/left_style.h"

namespace kivo {

TMiniGameList::TMiniGameList(TLeftPanelHost& host) : host_(host) {
    store_ = Gtk::ListStore::create(columns_);
    for (int i = 0; i < catalogue::kMiniGameCount; ++i)
        (*store_->append())[columns_.caption] = catalogue::MiniGameCaption(i);
    tvFlash.set_model(store_);
    tvFlash.append_column("", columns_.caption);
    StyleLeftTree(tvFlash, catalogue::kMiniGameItemsName);
    tvFlash.signal_button_release_event().connect(
        sigc::mem_fun(*this, &TMiniGameList::tvFlashButtonRelease), false);
}

bool TMiniGameList::tvFlashButtonRelease(GdkEventButton* event) {
    if (event->button == 1)
        tvFlashClick(static_cast<int>(event->x), static_cast<int>(event->y));
    return false;
}

void TMiniGameList::tvFlashClick(int x, int y) {
    auto selected = tvFlash.get_selection()->get_selected();
    Gtk::TreeModel::Path path;
    Gtk::TreeViewColumn* column = nullptr;
    int cell_x = 0, cell_y = 0;
    if (!selected || !tvFlash.get_path_at_pos(x, y, path, column, cell_x, cell_y))
        return;
    if (path != store_->get_path(selected))
        return;
    OpenItem(path[0]);
}

void TMiniGameList::OpenItem(int index) {
    host_.OpenGame(MiniGameUrl(index), "", catalogue::kMiniGameSessionSuffix);
}

}  // namespace kivo
