#pragma once
// The favorites section: the tree over the favorites folder, its menu, the organize dialog
// (rename, delete, new folder, move) and the add dialog of the tab menu's "添加到收藏夹".
#include <gtkmm.h>

#include <filesystem>
#include <string>
#include <vector>

#include "data/catalogue/favorites.h"
#include "ui/left/left_host.h"

namespace kivo {

// The columns of a favorites tree model.
struct FavoriteColumns : Gtk::TreeModelColumnRecord {
    FavoriteColumns() {
        add(caption);
        add(folder);
        add(url);
    }
    Gtk::TreeModelColumn<Glib::ustring> caption;
    Gtk::TreeModelColumn<bool> folder;
    Gtk::TreeModelColumn<std::string> url;
};

class TFavoritesTree {
  public:
    explicit TFavoritesTree(TLeftPanelHost& host);
    TFavoritesTree(const TFavoritesTree&) = delete;
    TFavoritesTree& operator=(const TFavoritesTree&) = delete;

    // What the window puts into the "收藏夹" section.
    Gtk::Widget& Widget() { return scroll_; }
    Gtk::TreeView& Tree() { return FavTreelist; }
    Gtk::Menu& Menu() { return pmFavMan; }
    const Glib::RefPtr<Gtk::TreeStore>& Model() const { return store_; }

    // Reads the folder again.
    void Reload();
    // Hides and shows the tree so that it repaints (when its section opens).
    void Repaint();
    // Opens the shortcut at `path` in a fresh temporary session; a vanished shortcut is removed
    // from the tree instead.
    void FavTreelistNavigate(const Gtk::TreeModel::Path& path);
    // "整理收藏夹": the organize dialog, then a reload.
    void MenuItem1Click();
    // "删除收藏": the question, then the selected shortcut or folder deleted, then a reload.
    void MenuItem5Click();
    // "添加到收藏夹" of the tab menu: the add dialog for a page, then a reload. Nothing when the
    // title or address is blank; returns whether a shortcut was written.
    bool N19Click(const std::string& title, const std::string& url);

  private:
    bool FavTreelistMouseDown(GdkEventButton* event);
    bool FavTreelistMouseUp(GdkEventButton* event);

    TLeftPanelHost& host_;
    std::filesystem::path root_;
    FavoriteColumns columns_;
    Glib::RefPtr<Gtk::TreeStore> store_;
    Gtk::ScrolledWindow scroll_;
    Gtk::TreeView FavTreelist;
    Gtk::Menu pmFavMan;
    Gtk::MenuItem MenuItem1;
    Gtk::SeparatorMenuItem MenuItem4;
    Gtk::MenuItem MenuItem5;
};

// The captions of the folders from the root down to the folder holding `row`.
std::vector<std::string> FavoriteFoldersOf(const Gtk::TreeModel::iterator& row,
                                           const FavoriteColumns& columns);
// Fills a store with the folder's items (rows in the read order).
void FillFavorites(const Glib::RefPtr<Gtk::TreeStore>& store, const FavoriteColumns& columns,
                   const std::filesystem::path& root);

// Our own organize dialog over the favorites folder.
class TFrmOrganizeFavorites : public Gtk::Dialog {
  public:
    TFrmOrganizeFavorites(TLeftPanelHost& host, const std::filesystem::path& root);
    ~TFrmOrganizeFavorites() override;
    static TFrmOrganizeFavorites* Active();

    Gtk::TreeView& Tree() { return tvItems; }
    // Selects the row of `caption` in the folder reached by `folders`; false when missing.
    bool SelectItem(const std::vector<std::string>& folders, const std::string& caption);
    // The operations on the selected row (new folder: inside the selected folder, else beside
    // the selected shortcut, else at the top). Names come from the host's prompt.
    void btnNewFolderClick();
    void btnRenameClick();
    void btnDeleteClick();
    // Moves the selected row into the folder chosen in cbbMoveTo (0: the top).
    void btnMoveClick();
    Gtk::ComboBoxText& MoveTarget() { return cbbMoveTo; }
    void Reload();

  private:
    bool Selected(std::vector<std::string>& folders, std::string& caption, bool& folder);

    TLeftPanelHost& host_;
    std::filesystem::path root_;
    FavoriteColumns columns_;
    Glib::RefPtr<Gtk::TreeStore> store_;
    std::vector<std::vector<std::string>> targets_;
    Gtk::ScrolledWindow scroll_;
    Gtk::TreeView tvItems;
    Gtk::Box buttons_{Gtk::ORIENTATION_VERTICAL, 4};
    Gtk::Button btnNewFolder{"新建文件夹"};
    Gtk::Button btnRename{"重命名"};
    Gtk::Button btnDelete{"删除"};
    Gtk::ComboBoxText cbbMoveTo;
    Gtk::Button btnMove{"移动到"};
};

// Our own add dialog: the name (proposed from the page title), the address and the folder.
class TFrmAddFavorite : public Gtk::Dialog {
  public:
    TFrmAddFavorite(TLeftPanelHost& host, const std::filesystem::path& root,
                    const std::string& title, const std::string& url);
    ~TFrmAddFavorite() override;
    static TFrmAddFavorite* Active();

    Gtk::Entry& NameEdit() { return edtName; }
    Gtk::Entry& UrlEdit() { return edtUrl; }
    Gtk::ComboBoxText& FolderChoice() { return cbbFolder; }
    // Writes the shortcut and closes with OK; a refused name or address is reported and the
    // dialog stays open.
    void btnOkClick();

  private:
    TLeftPanelHost& host_;
    std::filesystem::path root_;
    std::vector<std::vector<std::string>> folders_;
    Gtk::Grid grid_;
    Gtk::Label lblName{"名称:"};
    Gtk::Label lblUrl{"地址:"};
    Gtk::Label lblFolder{"创建位置:"};
    Gtk::Entry edtName;
    Gtk::Entry edtUrl;
    Gtk::ComboBoxText cbbFolder;
};

}  // namespace kivo
