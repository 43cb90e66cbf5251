#include "platform/download_file.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tests/support/files.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
using kivo::PartialDownload;
using kivo::SafeDownloadName;
using kivo::test::NamesIn;
using kivo::test::ReadBytes;

TEST(SafeDownloadName, NeverLeavesTheFolderNorHidesTheFile) {
    EXPECT_EQ(SafeDownloadName("../../.bashrc"), "bashrc");
    EXPECT_EQ(SafeDownloadName("/etc/passwd"), "passwd");
    EXPECT_EQ(SafeDownloadName("..\\..\\game\\setup.exe"), "setup.exe");
    EXPECT_EQ(SafeDownloadName("a/b\\..\\..."), "download");
    for (const char* nothing : {"", ".", "..", "...", "   ", "dir/", " . . "})
        EXPECT_EQ(SafeDownloadName(nothing), "download") << '"' << nothing << '"';
}

TEST(SafeDownloadName, KeepsOrdinaryNamesAndMendsStrangeOnes) {
    EXPECT_EQ(SafeDownloadName("game-data.tar.gz"), "game-data.tar.gz");
    EXPECT_EQ(SafeDownloadName("游戏 攻略 v2.pdf"), "游戏 攻略 v2.pdf");
    EXPECT_EQ(SafeDownloadName("name. "), "name.");
    EXPECT_EQ(SafeDownloadName(std::string("a\nb\x01\x7f"
                                           "c.txt")),
              "a_b__c.txt");
    const std::string mended = SafeDownloadName("\xff\xfe.bin");
    EXPECT_TRUE(g_utf8_validate(mended.data(), static_cast<gssize>(mended.size()), nullptr));
    EXPECT_TRUE(mended.ends_with(".bin")) << mended;
}

TEST(SafeDownloadName, InvisibleFormatCharactersCannotDisguiseTheExtension) {
    // "invoice" + right-to-left override + "gpj.exe" reads as "invoiceexe.jpg".
    EXPECT_EQ(SafeDownloadName("invoice\u202Egpj.exe"), "invoicegpj.exe");
    EXPECT_EQ(SafeDownloadName("a\u200Bb\u200Fc\u202Ad\u2066e\u2069.txt"), "abcde.txt");
    EXPECT_EQ(SafeDownloadName("\u2067\u200D"), "download");
    // Their neighbours stay: an ordinary dash and a narrow no-break space.
    EXPECT_EQ(SafeDownloadName("a\u2010b\u202Fc.txt"), "a\u2010b\u202Fc.txt");
}

TEST(SafeDownloadName, ALongNameIsCutOnACharacterKeepingItsExtension) {
    std::string long_name;
    for (int i = 0; i < 120; ++i) long_name += "游";  // 3 bytes each
    const std::string cut = SafeDownloadName(long_name + ".zip");
    EXPECT_LE(cut.size(), 255u);
    EXPECT_TRUE(cut.ends_with(".zip")) << cut;
    EXPECT_TRUE(g_utf8_validate(cut.data(), static_cast<gssize>(cut.size()), nullptr));
    EXPECT_EQ(SafeDownloadName(std::string(300, 'a')).size(), 255u);
}

TEST(PartialDownload, BecomesTheChosenFileOnlyWhenCommitted) {
    kivo::test::TempHome home;
    const std::string folder = home.Path() + "/chosen";
    fs::create_directories(folder);
    const std::string destination = folder + "/game.bin";
    {
        PartialDownload partial(destination);
        EXPECT_EQ(fs::path(partial.Path()).parent_path(), fs::path(folder));
        EXPECT_TRUE(fs::path(partial.Path()).filename().string().starts_with("."));
        EXPECT_EQ(fs::file_size(partial.Path()), 0u);
        std::ofstream(partial.Path(), std::ios::binary) << "complete";
        EXPECT_FALSE(fs::exists(destination)) << "the chosen name shows only a complete file";
        partial.Commit();
    }
    EXPECT_EQ(NamesIn(folder), std::vector<std::string>{"game.bin"});
    EXPECT_EQ(ReadBytes(destination), "complete");

    // The user chose to replace it: the old file goes only when the new one is complete.
    {
        PartialDownload again(destination);
        std::ofstream(again.Path(), std::ios::binary) << "half";
    }
    EXPECT_EQ(NamesIn(folder), std::vector<std::string>{"game.bin"})
        << "an abandoned partial file stays";
    EXPECT_EQ(ReadBytes(destination), "complete");
    {
        PartialDownload replacing(destination);
        PartialDownload beside(destination);
        EXPECT_NE(replacing.Path(), beside.Path());
        std::ofstream(replacing.Path(), std::ios::binary) << "new";
        replacing.Commit();
    }
    EXPECT_EQ(ReadBytes(destination), "new");
    EXPECT_EQ(NamesIn(folder), std::vector<std::string>{"game.bin"});
}

TEST(PartialDownload, RefusesWhatIsNoFileInAFolderAndCleansUpAFailedCommit) {
    kivo::test::TempHome home;
    EXPECT_THROW(PartialDownload("relative/name.bin"), kivo::DownloadFileError);
    EXPECT_THROW(PartialDownload(home.Path() + "/missing/name.bin"), kivo::DownloadFileError);
    EXPECT_THROW(PartialDownload(home.Path() + "/.."), kivo::DownloadFileError);

    // A folder of that name, not empty, cannot be replaced by the file.
    const std::string taken = home.Path() + "/taken";
    fs::create_directories(taken + "/inside");
    PartialDownload partial(taken);
    EXPECT_THROW(partial.Commit(), kivo::DownloadFileError);
    EXPECT_FALSE(fs::exists(partial.Path()));
    EXPECT_TRUE(fs::is_directory(taken + "/inside"));
}

TEST(PartialDownload, NeverReplacesAFileThatAppearedWhileItWasWritten) {
    kivo::test::TempHome home;
    const std::string folder = home.Path() + "/downloads";
    fs::create_directories(folder);
    const std::string destination = folder + "/game.bin";
    PartialDownload partial(destination);
    std::ofstream(partial.Path(), std::ios::binary) << "downloaded";
    std::ofstream(destination, std::ios::binary) << "someone else's";
    EXPECT_THROW(partial.Commit(), kivo::DownloadFileError);
    EXPECT_EQ(ReadBytes(destination), "someone else's");
    EXPECT_EQ(NamesIn(folder), std::vector<std::string>{"game.bin"});
}

TEST(PartialDownload, WhatAKilledWriterLeftIsRemovedAndNothingElse) {
    kivo::test::TempHome home;
    const std::string folder = home.Path() + "/downloads";
    const std::string journal = home.Path() + "/journal/";
    fs::create_directories(folder);
    {
        PartialDownload finished(folder + "/done.bin", journal);
        EXPECT_EQ(NamesIn(journal).size(), 1u);
        std::ofstream(finished.Path(), std::ios::binary) << "done";
        finished.Commit();
    }
    EXPECT_TRUE(NamesIn(journal).empty());

    // A writer killed in the middle: no destructor runs.
    const pid_t writer = fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        PartialDownload* killed = new PartialDownload(folder + "/big.bin", journal);
        std::ofstream(killed->Path(), std::ios::binary) << "half";
        std::ofstream(killed->Path() + ".wkdownload", std::ios::binary) << "the engine's half";
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(writer, &status, 0), writer);
    ASSERT_EQ(NamesIn(folder).size(), 3u);

    // Entries that name what no download made are only dropped.
    const std::string precious = folder + "/precious.txt";
    std::ofstream(precious) << "keep";
    fs::create_symlink(precious, folder + "/.link.part");
    std::ofstream(journal + "planted") << precious;
    std::ofstream(journal + "planted-link") << folder + "/.link.part";

    kivo::RemoveLeftPartialDownloads(journal);
    EXPECT_EQ(NamesIn(folder), (std::vector<std::string>{".link.part", "done.bin", "precious.txt"}));
    EXPECT_TRUE(NamesIn(journal).empty());
}

TEST(RoomFor, TellsWhetherTheDiskCanTakeTheDownload) {
    kivo::test::TempHome home;
    EXPECT_TRUE(kivo::RoomFor(home.Path(), 1));
    EXPECT_FALSE(kivo::RoomFor(home.Path(), uint64_t{1} << 62));
}

}  // namespace
