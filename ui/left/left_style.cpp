#include "ui/left/left_style.h"

#include "ui/drawn_pictures.h"

namespace kivo {

void StyleLeftTree(Gtk::TreeView& tree, const std::string& accessible_name) {
    tree.set_headers_visible(false);
    tree.set_enable_tree_lines(false);
    tree.set_hover_selection(false);
    tree.set_activate_on_single_click(false);
    tree.set_enable_search(false);
    tree.set_vexpand(true);
    tree.get_accessible()->set_name(accessible_name);
    auto provider = Gtk::CssProvider::create();
    provider->load_from_data(std::string("treeview { color: white; background-color: ") +
                             kPanelColour +
                             "; } treeview:hover { background-color: #2A86CF; } treeview:selected "
                             "{ background-color: #0A4F8A; }");
    tree.get_style_context()->add_provider(provider, GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    tree.signal_realize().connect([&tree] {
        if (auto window = tree.get_bin_window())
            window->set_cursor(Gdk::Cursor::create(tree.get_display(), Gdk::HAND2));
    });
    // Right click selects the row under it before any menu.
    tree.signal_button_press_event().connect(
        [&tree](GdkEventButton* event) {
            if (event->type == GDK_BUTTON_PRESS && event->button == 3)
                SelectRowAt(tree, static_cast<int>(event->x), static_cast<int>(event->y));
            return false;
        },
        false);
}

bool SelectRowAt(Gtk::TreeView& tree, int x, int y) {
    Gtk::TreeModel::Path path;
    Gtk::TreeViewColumn* column = nullptr;
    int cell_x = 0, cell_y = 0;
    if (!tree.get_path_at_pos(x, y, path, column, cell_x, cell_y))
        return false;
    tree.get_selection()->select(path);
    return true;
}

}  // namespace kivo
