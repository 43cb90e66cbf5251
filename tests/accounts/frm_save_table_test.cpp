// The account dialog in a real window over a real database file: what a capture fills in, the
// editing of a value, saving with the checked fields, and deleting accounts with their folders.
#include "ui/accounts/frm_save_table.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "tests/support/toolkit.h"
#include "ui/dialogs/message_box.h"
// After gtkmm: the X headers define macros that clash with it.
#include "data/database.h"
#include "tests/data/test_database.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
using kivo::accounts::TEle;
using kivo::accounts::TFrmSaveTable;

const std::string kUrl = "{11111111-2222-3333-4444-555555555555}";

using kivo::test::WhenShown;

// Answers the next message box with OK and keeps its text.
void AnswerMessage(std::vector<std::string>& texts) {
    WhenShown([] { return kivo::ActiveMessageBox() != nullptr; },
              [&texts] {
                  auto* box = static_cast<Gtk::MessageDialog*>(kivo::ActiveMessageBox());
                  texts.push_back(box->property_text().get_value());
                  box->response(Gtk::RESPONSE_OK);
              });
}

class SaveTable : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!kivo::test::TestDisplay())
            GTEST_SKIP() << "needs an X display";
        ASSERT_TRUE(kivo::test::ToolkitReady());
        const std::string file = (folder_.Path() / "MultOpenApp.dat").string();
        kivo::data::testing::CreateDatabase(file, kivo::data::testing::SchemaScript());
        db_.SetDatabaseName(file);
        db_.Open();
        host_.Database = &db_;
        host_.WorkPath = (folder_.Path() / "app").string() + "/";
        host_.CacheRoot = [this] { return (folder_.Path() / "root").string() + "/"; };
        host_.CaptureFields = [this] {
            if (captured_.empty())
                throw std::runtime_error("no document");
            return captured_;
        };
    }

    std::unique_ptr<TFrmSaveTable> Open(bool edit_mode) {
        auto form = std::make_unique<TFrmSaveTable>(host_);
        form->GameUrlId = kUrl;
        form->IsEdtMode = edit_mode;
        form->show();
        return form;
    }

    kivo::data::testing::TempFolder folder_;
    kivo::data::TDISQLite3Database db_;
    kivo::accounts::TSaveTableHost host_;
    std::vector<TEle> captured_;
    std::vector<std::string> messages_;
};

TEST_F(SaveTable, ACapturedFormIsEditedAndSavedWithItsCheckedFieldsOnly) {
    // Names that would break the stored "name=value" lines are left out, and the dialog says so.
    captured_ = {{"pass", "first"}, {"a\nb", "x"}, {"user", "bob"},
                 {"k=v", "y"},      {"c\r", "z"},  {"extra", "e"}};
    auto form = Open(false);
    ASSERT_EQ(form->Fields().size(), 3u);
    EXPECT_EQ(form->Fields()[1].Name, "user");
    EXPECT_TRUE(form->lblLeftOut.get_visible());
    EXPECT_EQ(form->lblLeftOut.get_text(), std::string(kivo::accounts::kFieldsLeftOutBefore) + "3" +
                                               kivo::accounts::kFieldsLeftOutAfter);
    EXPECT_TRUE(form->FieldChecked(0) && form->FieldChecked(1) && form->FieldChecked(2));
    EXPECT_EQ(form->edtNewName.get_text(), "first") << "the first field, a password here, names it";

    // A double-click edits the selected field's value; its check stays as it was.
    form->SetFieldChecked(2, false);
    form->SelectField(2);
    WhenShown([] { return kivo::TFrmInput::Active() != nullptr; },
              [] {
                  kivo::TFrmInput::Active()->edit.set_text("edited=1");
                  kivo::TFrmInput::Active()->response(Gtk::RESPONSE_OK);
              });
    form->lstElecDblClick();
    EXPECT_EQ(form->Fields()[2].Value, "edited=1");
    EXPECT_FALSE(form->FieldChecked(2));
    form->SelectField(-1);
    form->btnEdtValueClick();  // nothing selected: no prompt

    form->edtNewName.set_text("  ");
    AnswerMessage(messages_);
    form->btnSaveClick();
    form->edtNewName.set_text("../x");
    AnswerMessage(messages_);
    form->btnSaveClick();
    form->edtNewName.set_text("A");
    AnswerMessage(messages_);
    form->btnSaveClick();
    EXPECT_EQ(messages_,
              (std::vector<std::string>{kivo::accounts::kNameMissing,
                                        kivo::accounts::kNameNotFolder, kivo::accounts::kSaved}));
    ASSERT_EQ(form->Users().size(), 1u);
    EXPECT_EQ(form->Users()[0].UName, "A");
    EXPECT_EQ(form->Fields().size(), 3u) << "the field list stays";

    auto statement = db_.Prepare16("select ELENAME,ELEVALUE from t_userinfotable order by rowid");
    std::vector<std::string> saved;
    while (statement.Step() == kivo::data::TDISQLite3Statement::kRow)
        saved.push_back(statement.Column_Str(0) + "=" +
                        kivo::accounts::DecipherFieldValue(statement.Column_Str(1)));
    EXPECT_EQ(saved, (std::vector<std::string>{"pass=first", "user=bob"}));
}

TEST_F(SaveTable, APageThatCannotBeReadLeavesTheFieldsEmptyAndAccountsAreDeletedWithFolders) {
    kivo::accounts::SaveAccount(db_, kUrl, "B", {});
    kivo::accounts::SaveAccount(db_, kUrl, "A", {{"user", "a"}});
    for (const char* root : {"app", "root"}) {
        fs::create_directories(folder_.Path() / root / "KivoCache/A");
        fs::create_directories(folder_.Path() / root / "KivoCache/B");
    }
    AnswerMessage(messages_);
    auto form = Open(false);
    EXPECT_EQ(messages_, std::vector<std::string>{kivo::accounts::kPageNotReady});
    EXPECT_TRUE(form->Fields().empty());
    EXPECT_FALSE(form->lblLeftOut.get_visible());
    form.reset();

    form = Open(true);
    ASSERT_EQ(form->Users().size(), 2u);
    EXPECT_EQ(form->Users()[0].UName, "A");  // sorted by name
    EXPECT_FALSE(form->UserChecked(0) || form->UserChecked(1));
    form->btnDeleteClick();  // nothing checked: nothing happens
    EXPECT_EQ(form->Users().size(), 2u);

    form->SetUserChecked(0, true);
    form->btnDeleteClick();
    ASSERT_EQ(form->Users().size(), 1u);
    EXPECT_EQ(form->Users()[0].UName, "B");
    EXPECT_EQ(kivo::accounts::LoadUsers(db_, kUrl).size(), 1u);
    for (const char* root : {"app", "root"}) {
        EXPECT_FALSE(fs::exists(folder_.Path() / root / "KivoCache/A")) << root;
        EXPECT_TRUE(fs::exists(folder_.Path() / root / "KivoCache/B")) << root;
    }
    EXPECT_EQ(messages_.size(), 1u) << "no message for a deletion that worked";
}

}  // namespace
