#include "ui/catalogue/frm_save_url.h"

#include <stdexcept>
#include <utility>

#include "data/catalogue/catalogue_edit.h"
#include "ui/left/left_host.h"
#include "ui/dialogs/message_box.h"

namespace kivo::catalogue {

namespace {

TFrmSaveUrl* active_form = nullptr;

constexpr int kLabelX = 16, kFieldX = 80, kFieldWidth = 130, kWideField = 250;

void Caption(Gtk::Label& label, const char* text) {
    label.set_text(text);
    label.override_color(Gdk::RGBA("#0076EC"));
}

bool IsEnter(const GdkEventKey* event) {
    return event->keyval == GDK_KEY_Return || event->keyval == GDK_KEY_KP_Enter;
}

}  // namespace

TFrmSaveUrl::TFrmSaveUrl(TLeftPanelHost& host, std::function<void()> reload_catalogue)
    : TBorderlessDialog(350, 175, true),
      host_(host),
      reload_catalogue_(std::move(reload_catalogue)) {
    PlaceOnOwner(*this, &host.Owner());
    lblCaption.set_markup("<b>" + Glib::Markup::escape_text(kSaveUrlTitle) + "</b>");
    get_accessible()->set_name(kSaveUrlTitle);

    Caption(lblGameType_, "游戏分类");
    Caption(lblGameList_, "所属游戏");
    Caption(lblUrlName_, "地址描述");
    Caption(lblUrl_, "游戏地址");
    for (const GameCategory& category : kGameCategories)
        cbbGameType.append(category.value, category.caption);
    cbbGameType.get_accessible()->set_name("游戏分类");
    cbbGameList.get_accessible()->set_name("所属游戏");
    edtUrlName.get_accessible()->set_name("地址描述");
    edtUrl.get_accessible()->set_name("游戏地址");
    cbbGameType.set_size_request(kWideField, 21);
    cbbGameList.set_size_request(kFieldWidth, 21);
    edtUrlName.set_size_request(kWideField, 21);
    edtUrl.set_size_request(kWideField, 21);

    lblAddGame.set_relief(Gtk::RELIEF_NONE);
    lblAddGame.set_focus_on_click(false);
    auto* link = Gtk::make_managed<Gtk::Label>();
    link->set_markup("<span foreground='#0000FF' underline='single'>" +
                     Glib::Markup::escape_text(kAddGameLink) + "</span>");
    lblAddGame.add(*link);
    lblAddGame.get_accessible()->set_name(kAddGameLink);
    lblAddGame.signal_clicked().connect(sigc::mem_fun(*this, &TFrmSaveUrl::lblAddGameClick));

    StyleButton(btnClose, "取消", Gtk::RESPONSE_CANCEL);
    btnOpen.set_label("确定");
    btnOpen.set_size_request(63, 21);
    btnOpen.signal_clicked().connect(sigc::mem_fun(*this, &TFrmSaveUrl::btnOpenClick));

    // Each label on the row of its field, left of it.
    const auto row = [this](Gtk::Label& label, Gtk::Widget& field, int y) {
        label.set_xalign(0);
        Body().Place(label, {kLabelX, y, kFieldX - kLabelX - 4, 21});
        Body().Place(field, kFieldX, y);
    };
    row(lblGameType_, cbbGameType, 36);
    row(lblGameList_, cbbGameList, 62);
    Body().Place(lblAddGame, {kFieldX + kFieldWidth + 2, 62, 126, 21});
    row(lblUrlName_, edtUrlName, 88);
    row(lblUrl_, edtUrl, 114);
    Body().Place(btnOpen, 190, 145);
    Body().Place(btnClose, 266, 145);
    show_all_children();
    get_action_area()->hide();

    edtUrlName.signal_activate().connect([this] { edtUrl.grab_focus(); });
    edtUrl.signal_activate().connect([this] { btnOpen.clicked(); });
    signal_key_press_event().connect(sigc::mem_fun(*this, &TFrmSaveUrl::FormKeyPress), false);
    signal_set_focus().connect(sigc::mem_fun(*this, &TFrmSaveUrl::FormSetFocus));
    signal_show().connect(sigc::mem_fun(*this, &TFrmSaveUrl::FormShow));
    active_form = this;
}

TFrmSaveUrl::~TFrmSaveUrl() {
    if (active_form == this)
        active_form = nullptr;
}

TFrmSaveUrl* TFrmSaveUrl::Active() {
    return active_form;
}

void TFrmSaveUrl::Prepare(const std::string& game_id, const std::string& description,
                          const std::string& address, const std::string& category) {
    edtUrl.set_text(address);
    edtUrlName.set_text(description);
    cbbGameType.set_active_id(category);
    cbbGameListEnter();
    GameUrlId = game_id;
    cbbGameList.set_active_id(GameUrlId);
}

void TFrmSaveUrl::FormShow() {
    edtUrlName.grab_focus();
    if (!cbbGameList.set_active_id(GameUrlId))
        cbbGameList.set_active(-1);
}

int TFrmSaveUrl::SelectedCategory() const {
    const Glib::ustring id = cbbGameType.get_active_id();
    return id.empty() ? 0 : std::stoi(id);
}

std::string TFrmSaveUrl::SelectedGameId() const {
    return cbbGameList.get_active_row_number() < 0 ? "" : cbbGameList.get_active_id();
}

// The list is read afresh each time it gets the focus, so a changed category shows its games
// then. The game chosen before stays chosen when it is still listed.
void TFrmSaveUrl::cbbGameListEnter() {
    const std::string chosen = SelectedGameId();
    cbbGameList.remove_all();
    if (data::TDISQLite3Database* db = host_.Database()) {
        for (const GameChoice& game : SelectGameNames(*db, SelectedCategory()))
            cbbGameList.append(game.id, game.name);
    }
    if (!chosen.empty())
        cbbGameList.set_active_id(chosen);
}

void TFrmSaveUrl::FormSetFocus(Gtk::Widget* focus) {
    if (focus && focus->is_ancestor(cbbGameList))
        cbbGameListEnter();
}

bool TFrmSaveUrl::FormKeyPress(GdkEventKey* event) {
    Gtk::Widget* focus = get_focus();
    if (!IsEnter(event) || !focus)
        return false;
    if (focus == &cbbGameType || focus == &cbbGameList || focus->is_ancestor(cbbGameType) ||
        focus->is_ancestor(cbbGameList)) {
        edtUrlName.grab_focus();
        return true;
    }
    return false;
}

void TFrmSaveUrl::Message(const char* text, Gtk::MessageType icon) {
    ShowMessageBox(text, kMessageTitle, icon, MessageButtons::Ok, this);
}

void TFrmSaveUrl::btnOpenClick() {
    if (SelectedGameId().empty()) {
        Message(kChooseGame, Gtk::MESSAGE_INFO);
        return;
    }
    response(Gtk::RESPONSE_OK);
}

void TFrmSaveUrl::lblAddGameClick() {
    std::string game_id;
    try {
        game_id = AskNewGame(host_, kDialogAddGamePrompt, SelectedCategory());
        if (game_id.empty())
            return;
        cbbGameListEnter();
    } catch (const std::exception&) {
        Message(kAddFailed, Gtk::MESSAGE_ERROR);
        return;
    }
    Message(kGameAdded, Gtk::MESSAGE_INFO);
    cbbGameList.set_active_id(game_id);
    if (reload_catalogue_)
        reload_catalogue_();
}

data::TDISQLite3Database& DatabaseOf(TLeftPanelHost& host) {
    data::TDISQLite3Database* db = host.Database();
    if (!db)
        throw std::runtime_error("The database is not open.");
    return *db;
}

std::string AskNewGame(TLeftPanelHost& host, const char* prompt, int category) {
    data::TDISQLite3Database& db = DatabaseOf(host);
    std::string name;
    if (!host.InputBox(kInputCaption, prompt, name, kNameMaxLength, false) ||
        !IsAcceptedGameName(name))
        return "";
    return InsertGame(db, name, category);
}

bool ShowSaveUrl(TLeftPanelHost& host, std::string& game_id, std::string& description,
                 std::string& address, const std::string& category,
                 const std::function<void()>& reload_catalogue) {
    TFrmSaveUrl form(host, reload_catalogue);
    form.Prepare(game_id, description, address, category);
    if (form.run() != Gtk::RESPONSE_OK)
        return false;
    game_id = form.SelectedGameId();
    description = form.edtUrlName.get_text();
    address = form.edtUrl.get_text();
    return true;
}

std::string SaveActivePage(TLeftPanelHost& host, const std::string& game_id,
                           const std::function<void()>& reload_catalogue) {
    std::string chosen = game_id;
    std::string description = host.ActivePageTitle();
    std::string address = host.ActivePageUrl();
    if (!ShowSaveUrl(host, chosen, description, address, kGameCategories[0].value,
                     reload_catalogue))
        return "";
    const std::string url_id = InsertGameUrl(DatabaseOf(host), chosen, description, address);
    reload_catalogue();
    return url_id;
}

}  // namespace kivo::catalogue
