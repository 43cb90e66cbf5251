#pragma once
// The account dialog of an address: the saved accounts on the left (check them to delete them
// with their session folders), the login fields captured from the active tab's page on the right
// (check those to keep, double-click to correct a value), and the name of a new account to save
// with the checked fields. In maintenance mode nothing is captured.
#include <gtkmm.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "data/accounts/account_store.h"
#include "ui/dialogs/frm_input.h"

namespace kivo {

namespace data {
class TDISQLite3Database;
}

namespace accounts {

inline constexpr const char* kDialogName = "登录信息";
inline constexpr const char* kUserListHeader = "选择一个登录的用户信息";
inline constexpr const char* kFieldListHeader = "采集到的数据";
inline constexpr const char* kMessageTitle = "提示";
inline constexpr const char* kPageNotReady = "页面没有加载完成，请稍后！";
inline constexpr const char* kNameMissing = "请填写一个表单名字！";
inline constexpr const char* kNameNotFolder =
    "这个名字不能用作账号的缓存文件夹名（不能含“/"
    "”或“\\”、不能以“.”开头、不能太长），请换一个名字！";
inline constexpr const char* kSaved = "保存完成！";
inline constexpr const char* kSaveFailed = "保存失败请重试！";
inline constexpr const char* kDeleteFailed = "删除失败，请重试！";

// What the dialog needs of the window that opens it.
struct TSaveTableHost {
    data::TDISQLite3Database* Database = nullptr;
    // The folder that holds the program's own "KivoCache/" (see WorkPath), ending with "/".
    std::string WorkPath;
    // The cache root of the session folders ("" when none can be found).
    std::function<std::string()> CacheRoot;
    // The login fields of the active tab's page; throws when its document cannot be had.
    std::function<std::vector<TEle>()> CaptureFields;
    Gtk::Window* Owner = nullptr;
};

class TFrmSaveTable : public TBorderlessDialog {
  public:
    explicit TFrmSaveTable(TSaveTableHost host);
    ~TFrmSaveTable() override;

    std::string GameUrlId;
    bool IsEdtMode = false;

    void LoadUserList();
    void lstElecDblClick();
    void btnEdtValueClick();
    void btnSaveClick();
    void btnDeleteClick();
    void btnClearCacheClick();
    void btnCloseClick();

    // The rows as the lists show them (without their headers), for callers and tests.
    const std::vector<TUser>& Users() const { return users_; }
    const std::vector<TEle>& Fields() const { return fields_; }
    bool UserChecked(size_t index) const;
    void SetUserChecked(size_t index, bool checked);
    bool FieldChecked(size_t index) const;
    void SetFieldChecked(size_t index, bool checked);
    // Selects the field row `index` (-1: none), as a click on it does.
    void SelectField(int index);

    // The dialog on the screen now, if any.
    static TFrmSaveTable* Active();

    Gtk::ListBox lstSelectUser;
    Gtk::Label lblname;
    Gtk::Entry edtNewName;
    Gtk::ListBox lstElec;
    Gtk::Label RzLabel3;
    // Says how many captured fields were left out for their names; hidden when none was.
    Gtk::Label lblLeftOut;
    Gtk::Button btnDelete, btnSave, btnClose;
    Gtk::Button& btnSysClose = TBorderlessDialog::btnClose;

  private:
    void FormShow();
    void Capture();
    void FillFields(std::vector<TEle> fields);
    void Message(const char* text, Gtk::MessageType icon);
    // A header row and one check row per caption; the check boxes come back in order.
    static void FillList(Gtk::ListBox& list, const char* header,
                         const std::vector<std::string>& captions, bool checked,
                         std::vector<Gtk::CheckButton*>& checks);

    TSaveTableHost host_;
    std::vector<TUser> users_;
    std::vector<TEle> fields_;
    std::vector<Gtk::CheckButton*> user_checks_, field_checks_;  // owned by their rows
    Gtk::ScrolledWindow userScroll_, fieldScroll_;
};

// Opens the dialog modally for the address `url_id`, and frees it when it closes.
void ShowSaveTable(const TSaveTableHost& host, const std::string& url_id, bool edit_mode);

}  // namespace accounts
}  // namespace kivo
