#include "ui/left/favorites_tree.h"

#include <functional>

#include "ui/left/left_style.h"

namespace kivo {

using catalogue::FavoriteError;
using catalogue::FavoriteItem;

namespace {

constexpr const char* kPromptCaption = "提示";
constexpr const char* kRootCaption = "收藏夹";

void AddRows(const Glib::RefPtr<Gtk::TreeStore>& store, const FavoriteColumns& columns,
             const Gtk::TreeNodeChildren& parent, const std::vector<FavoriteItem>& items,
             bool top) {
    for (const auto& item : items) {
        auto row = top ? store->append() : store->append(parent);
        (*row)[columns.caption] = item.caption;
        (*row)[columns.folder] = item.folder;
        (*row)[columns.url] = item.url;
        if (item.folder)
            AddRows(store, columns, row->children(), item.children, false);
    }
}

void CollectFolders(const std::vector<FavoriteItem>& items, std::vector<std::string>& path,
                    std::vector<std::vector<std::string>>& out) {
    for (const auto& item : items) {
        if (!item.folder)
            continue;
        path.push_back(item.caption);
        out.push_back(path);
        CollectFolders(item.children, path, out);
        path.pop_back();
    }
}

// The top and every folder below it, in tree order.
std::vector<std::vector<std::string>> AllFolders(const std::filesystem::path& root) {
    std::vector<std::vector<std::string>> out{{}};
    std::vector<std::string> path;
    CollectFolders(catalogue::ReadFavorites(root), path, out);
    return out;
}

std::string FolderCaption(const std::vector<std::string>& folders) {
    std::string text = kRootCaption;
    for (const auto& folder : folders) text += "/" + folder;
    return text;
}

void FillFolderChoice(Gtk::ComboBoxText& combo, const std::vector<std::vector<std::string>>& all) {
    combo.remove_all();
    for (const auto& folders : all) combo.append(FolderCaption(folders));
    combo.set_active(0);
}

void StyleMenuItem(Gtk::MenuItem& item, const std::string& caption) {
    item.set_label(caption);
    item.get_accessible()->set_name(caption);
}

void StyleDialog(Gtk::Dialog& dialog, TLeftPanelHost& host, const std::string& title) {
    dialog.set_title(title);
    dialog.set_modal(true);
    dialog.set_transient_for(host.Owner());
    dialog.set_position(Gtk::WIN_POS_CENTER_ON_PARENT);
    dialog.get_accessible()->set_name(title);
}

// Makes one change to the folder; a refused one is reported with its reason. Returns whether it
// was made.
bool Attempt(TLeftPanelHost& host, const std::function<void()>& change) {
    try {
        change();
        return true;
    } catch (const FavoriteError& e) {
        host.ShowError(e.what(), kPromptCaption);
        return false;
    }
}

TFrmOrganizeFavorites* g_organize = nullptr;
TFrmAddFavorite* g_add = nullptr;

}  // namespace

std::vector<std::string> FavoriteFoldersOf(const Gtk::TreeModel::iterator& row,
                                           const FavoriteColumns& columns) {
    std::vector<std::string> folders;
    for (auto parent = row->parent(); parent; parent = parent->parent())
        folders.insert(folders.begin(), Glib::ustring((*parent)[columns.caption]).raw());
    return folders;
}

void FillFavorites(const Glib::RefPtr<Gtk::TreeStore>& store, const FavoriteColumns& columns,
                   const std::filesystem::path& root) {
    store->clear();
    AddRows(store, columns, store->children(), catalogue::ReadFavorites(root), true);
}

// --- the tree ---

TFavoritesTree::TFavoritesTree(TLeftPanelHost& host)
    : host_(host), root_(catalogue::FavoritesFolder()) {
    store_ = Gtk::TreeStore::create(columns_);
    FavTreelist.set_model(store_);
    auto* column = Gtk::manage(new Gtk::TreeViewColumn(""));
    auto* icon = Gtk::manage(new Gtk::CellRendererPixbuf);
    column->pack_start(*icon, false);
    column->set_cell_data_func(
        *icon, [this](Gtk::CellRenderer* cell, const Gtk::TreeModel::iterator& row) {
            static_cast<Gtk::CellRendererPixbuf*>(cell)->property_icon_name() =
                (*row)[columns_.folder] ? "folder" : "text-html";
        });
    column->pack_start(columns_.caption);
    FavTreelist.append_column(*column);
    FavTreelist.set_show_expanders(true);
    StyleLeftTree(FavTreelist, catalogue::kFavoritesTreeName);
    FavTreelist.signal_button_press_event().connect(
        sigc::mem_fun(*this, &TFavoritesTree::FavTreelistMouseDown), false);
    FavTreelist.signal_button_release_event().connect(
        sigc::mem_fun(*this, &TFavoritesTree::FavTreelistMouseUp), false);
    scroll_.set_policy(Gtk::POLICY_AUTOMATIC, Gtk::POLICY_AUTOMATIC);
    scroll_.add(FavTreelist);

    StyleMenuItem(MenuItem1, catalogue::kOrganizeFavoritesItem);
    StyleMenuItem(MenuItem5, catalogue::kDeleteFavoriteItem);
    MenuItem1.signal_activate().connect(sigc::mem_fun(*this, &TFavoritesTree::MenuItem1Click));
    MenuItem5.signal_activate().connect(sigc::mem_fun(*this, &TFavoritesTree::MenuItem5Click));
    pmFavMan.append(MenuItem1);
    pmFavMan.append(MenuItem4);
    pmFavMan.append(MenuItem5);
    pmFavMan.show_all();
    Reload();
}

void TFavoritesTree::Reload() {
    FillFavorites(store_, columns_, root_);
}

void TFavoritesTree::Repaint() {
    FavTreelist.hide();
    FavTreelist.show();
}

bool TFavoritesTree::FavTreelistMouseDown(GdkEventButton* event) {
    // The shared style has already selected the row under a right press.
    if (event->type != GDK_BUTTON_PRESS || event->button != 3)
        return false;
    Gtk::TreeModel::Path path;
    Gtk::TreeViewColumn* column = nullptr;
    int cell_x = 0, cell_y = 0;
    if (!FavTreelist.get_path_at_pos(static_cast<int>(event->x), static_cast<int>(event->y), path,
                                     column, cell_x, cell_y))
        return true;
    auto selected = FavTreelist.get_selection()->get_selected();
    if (selected && store_->get_path(selected) == path)
        pmFavMan.popup_at_pointer(reinterpret_cast<GdkEvent*>(event));
    return true;
}

bool TFavoritesTree::FavTreelistMouseUp(GdkEventButton* event) {
    if (event->button != 1)
        return false;
    Gtk::TreeModel::Path path;
    Gtk::TreeViewColumn* column = nullptr;
    int cell_x = 0, cell_y = 0;
    if (FavTreelist.get_path_at_pos(static_cast<int>(event->x), static_cast<int>(event->y), path,
                                    column, cell_x, cell_y))
        FavTreelistNavigate(path);
    return false;
}

void TFavoritesTree::FavTreelistNavigate(const Gtk::TreeModel::Path& path) {
    auto row = store_->get_iter(path);
    if (!row)
        return;
    if ((*row)[columns_.folder]) {
        if (FavTreelist.row_expanded(path))
            FavTreelist.collapse_row(path);
        else
            FavTreelist.expand_row(path, false);
        return;
    }
    const std::string caption = Glib::ustring((*row)[columns_.caption]).raw();
    const auto url =
        catalogue::CurrentShortcutAddress(root_, FavoriteFoldersOf(row, columns_), caption);
    if (!url) {
        store_->erase(row);
        return;
    }
    host_.OpenGame(*url, "", "");
}

void TFavoritesTree::MenuItem1Click() {
    {
        TFrmOrganizeFavorites dialog(host_, root_);
        dialog.run();
    }
    Reload();
}

void TFavoritesTree::MenuItem5Click() {
    auto row = FavTreelist.get_selection()->get_selected();
    if (!row || !host_.Confirm(catalogue::kDeleteFavoriteQuestion, kPromptCaption))
        return;
    // An item already gone is no error: the reload shows what is there.
    Attempt(host_, [&] {
        catalogue::DeleteFavorite(root_, FavoriteFoldersOf(row, columns_),
                                  Glib::ustring((*row)[columns_.caption]).raw(),
                                  (*row)[columns_.folder]);
    });
    Reload();
}

bool TFavoritesTree::N19Click(const std::string& title, const std::string& url) {
    if (!catalogue::CanAddFavorite(title, url))
        return false;
    int response = Gtk::RESPONSE_CANCEL;
    {
        TFrmAddFavorite dialog(host_, root_, title, url);
        response = dialog.run();
    }
    Reload();
    return response == Gtk::RESPONSE_OK;
}

// --- the organize dialog ---

TFrmOrganizeFavorites::TFrmOrganizeFavorites(TLeftPanelHost& host,
                                             const std::filesystem::path& root)
    : host_(host), root_(root) {
    StyleDialog(*this, host, catalogue::kOrganizeFavoritesItem);
    set_default_size(420, 320);
    store_ = Gtk::TreeStore::create(columns_);
    tvItems.set_model(store_);
    tvItems.append_column("", columns_.caption);
    tvItems.set_headers_visible(false);
    tvItems.get_accessible()->set_name(kRootCaption);
    scroll_.set_policy(Gtk::POLICY_AUTOMATIC, Gtk::POLICY_AUTOMATIC);
    scroll_.set_hexpand(true);
    scroll_.set_vexpand(true);
    scroll_.add(tvItems);
    cbbMoveTo.get_accessible()->set_name("移动到的文件夹");
    for (auto* button : {&btnNewFolder, &btnRename, &btnDelete, &btnMove})
        button->get_accessible()->set_name(button->get_label());
    buttons_.pack_start(btnNewFolder, false, false);
    buttons_.pack_start(btnRename, false, false);
    buttons_.pack_start(btnDelete, false, false);
    buttons_.pack_start(cbbMoveTo, false, false);
    buttons_.pack_start(btnMove, false, false);
    btnNewFolder.signal_clicked().connect(
        sigc::mem_fun(*this, &TFrmOrganizeFavorites::btnNewFolderClick));
    btnRename.signal_clicked().connect(
        sigc::mem_fun(*this, &TFrmOrganizeFavorites::btnRenameClick));
    btnDelete.signal_clicked().connect(
        sigc::mem_fun(*this, &TFrmOrganizeFavorites::btnDeleteClick));
    btnMove.signal_clicked().connect(sigc::mem_fun(*this, &TFrmOrganizeFavorites::btnMoveClick));
    auto* body = Gtk::manage(new Gtk::Box(Gtk::ORIENTATION_HORIZONTAL, 8));
    body->set_border_width(8);
    body->pack_start(scroll_, true, true);
    body->pack_start(buttons_, false, false);
    get_content_area()->pack_start(*body, true, true);
    auto* close = add_button("关闭", Gtk::RESPONSE_CLOSE);
    close->get_accessible()->set_name("关闭");
    Reload();
    show_all();
    g_organize = this;
}

TFrmOrganizeFavorites::~TFrmOrganizeFavorites() {
    if (g_organize == this)
        g_organize = nullptr;
}

TFrmOrganizeFavorites* TFrmOrganizeFavorites::Active() {
    return g_organize;
}

void TFrmOrganizeFavorites::Reload() {
    FillFavorites(store_, columns_, root_);
    tvItems.expand_all();
    targets_ = AllFolders(root_);
    FillFolderChoice(cbbMoveTo, targets_);
}

bool TFrmOrganizeFavorites::SelectItem(const std::vector<std::string>& folders,
                                       const std::string& caption) {
    auto level = store_->children();
    Gtk::TreeModel::iterator found;
    for (size_t depth = 0; depth <= folders.size(); ++depth) {
        const std::string& want = depth < folders.size() ? folders[depth] : caption;
        found = Gtk::TreeModel::iterator();
        for (auto row = level.begin(); row != level.end(); ++row)
            if (Glib::ustring((*row)[columns_.caption]).raw() == want &&
                (depth == folders.size() || (*row)[columns_.folder])) {
                found = row;
                break;
            }
        if (!found)
            return false;
        level = found->children();
    }
    tvItems.get_selection()->select(found);
    return true;
}

bool TFrmOrganizeFavorites::Selected(std::vector<std::string>& folders, std::string& caption,
                                     bool& folder) {
    auto row = tvItems.get_selection()->get_selected();
    if (!row)
        return false;
    folders = FavoriteFoldersOf(row, columns_);
    caption = Glib::ustring((*row)[columns_.caption]).raw();
    folder = (*row)[columns_.folder];
    return true;
}

void TFrmOrganizeFavorites::btnNewFolderClick() {
    std::vector<std::string> folders;
    std::string caption;
    bool folder = false;
    if (Selected(folders, caption, folder) && folder)
        folders.push_back(caption);
    std::string name = "新建文件夹";
    if (!host_.InputBox(btnNewFolder.get_label(), "文件夹名称:", name, 255, false))
        return;
    Attempt(host_, [&] { catalogue::MakeFavoriteFolder(root_, folders, name); });
    Reload();
}

void TFrmOrganizeFavorites::btnRenameClick() {
    std::vector<std::string> folders;
    std::string caption;
    bool folder = false;
    if (!Selected(folders, caption, folder))
        return;
    std::string name = caption;
    if (!host_.InputBox(btnRename.get_label(), "新名称:", name, 255, false) || name == caption)
        return;
    Attempt(host_, [&] { catalogue::RenameFavorite(root_, folders, caption, folder, name); });
    Reload();
}

void TFrmOrganizeFavorites::btnDeleteClick() {
    std::vector<std::string> folders;
    std::string caption;
    bool folder = false;
    if (!Selected(folders, caption, folder) ||
        !host_.Confirm(catalogue::kDeleteFavoriteQuestion, kPromptCaption))
        return;
    Attempt(host_, [&] { catalogue::DeleteFavorite(root_, folders, caption, folder); });
    Reload();
}

void TFrmOrganizeFavorites::btnMoveClick() {
    std::vector<std::string> folders;
    std::string caption;
    bool folder = false;
    const int target = cbbMoveTo.get_active_row_number();
    if (!Selected(folders, caption, folder) || target < 0 ||
        target >= static_cast<int>(targets_.size()) || targets_[target] == folders)
        return;
    Attempt(host_,
            [&] { catalogue::MoveFavorite(root_, folders, caption, folder, targets_[target]); });
    Reload();
}

// --- the add dialog ---

TFrmAddFavorite::TFrmAddFavorite(TLeftPanelHost& host, const std::filesystem::path& root,
                                 const std::string& title, const std::string& url)
    : host_(host), root_(root), folders_(AllFolders(root)) {
    StyleDialog(*this, host, catalogue::kAddFavoriteItem);
    set_default_size(360, -1);
    edtName.set_text(catalogue::FavoriteNameForTitle(title));
    edtUrl.set_text(url);
    FillFolderChoice(cbbFolder, folders_);
    const std::pair<Gtk::Label*, Gtk::Widget*> rows[] = {
        {&lblName, &edtName}, {&lblUrl, &edtUrl}, {&lblFolder, &cbbFolder}};
    int top = 0;
    for (auto [label, field] : rows) {
        label->set_xalign(1);
        label->set_mnemonic_widget(*field);
        field->set_hexpand(true);
        field->get_accessible()->set_name(label->get_text());
        grid_.attach(*label, 0, top, 1, 1);
        grid_.attach(*field, 1, top, 1, 1);
        ++top;
    }
    grid_.set_row_spacing(6);
    grid_.set_column_spacing(8);
    grid_.set_border_width(10);
    edtName.set_activates_default(true);
    edtUrl.set_activates_default(true);
    get_content_area()->pack_start(grid_, true, true);
    auto* cancel = add_button("取消", Gtk::RESPONSE_CANCEL);
    cancel->get_accessible()->set_name("取消");
    // The OK button writes first; the dialog closes only when that worked.
    auto* ok = Gtk::manage(new Gtk::Button("确定"));
    ok->get_accessible()->set_name("确定");
    ok->set_can_default(true);
    ok->signal_clicked().connect(sigc::mem_fun(*this, &TFrmAddFavorite::btnOkClick));
    get_action_area()->pack_end(*ok, false, false);
    set_default(*ok);
    show_all();
    g_add = this;
}

TFrmAddFavorite::~TFrmAddFavorite() {
    if (g_add == this)
        g_add = nullptr;
}

TFrmAddFavorite* TFrmAddFavorite::Active() {
    return g_add;
}

void TFrmAddFavorite::btnOkClick() {
    const int folder = cbbFolder.get_active_row_number();
    const auto written = Attempt(host_, [&] {
        catalogue::WriteShortcut(root_, folder > 0 ? folders_[folder] : std::vector<std::string>{},
                                 edtName.get_text().raw(), edtUrl.get_text().raw());
    });
    if (written)
        response(Gtk::RESPONSE_OK);
}

}  // namespace kivo
