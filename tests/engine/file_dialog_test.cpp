// File dialogs: what is asked of the platform's dialog, what a cancel gives, and the working
// folder kept across the call.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/code/file_dialog.h"
#include "platform/plat_dialog.h"

namespace {

// What the last dialog was asked: kind, title, the filter pairs, index and initial path.
std::string asked;
const char* answer;    // the path the "user" picks
const char* wander_to; // the folder the "user" browses into
bool cancel;           // the "user" closes the dialog without a choice

BOOL fake_dialog(plat_dialog_kind kind, OPENFILENAMEA* ofn)
{
    size_t n = 0;
    while (ofn->lpstrFilter[n] || ofn->lpstrFilter[n + 1])
        n++;
    std::string filter(ofn->lpstrFilter, n + 2);
    for (char& c : filter)
        c = c ? c : '|';
    asked = std::string(kind == PLAT_DIALOG_SAVE ? "save " : "open ") + ofn->lpstrTitle + " " + filter + " " +
            std::to_string(ofn->nFilterIndex) + (ofn->Flags & OFN_OVERWRITEPROMPT ? " ask " : " ") + ofn->lpstrFile;
    if (wander_to && chdir(wander_to) != 0)
        return FALSE;
    if (cancel)
        return FALSE;
    snprintf(ofn->lpstrFile, ofn->nMaxFile, "%s", answer);
    return TRUE;
}

std::string cwd()
{
    char buf[PATH_MAX];
    return getcwd(buf, sizeof buf) ? buf : "";
}

struct FileDialog : testing::Test {
    void SetUp() override
    {
        plat_set_file_dialog(fake_dialog);
        answer = "/tmp/a.xml";
        wander_to = NULL;
        cancel = false;
        start = cwd();
    }
    void TearDown() override
    {
        plat_set_file_dialog(NULL);
        ASSERT_EQ(0, chdir(start.c_str()));
    }
    std::string start;
};

} // namespace

TEST_F(FileDialog, RequestCarriesTitleFilterAndInitialPathAndEachKindAnswersInItsOwnBuffer)
{
    EXPECT_EQ(file_dialog_path, file_dialog_open("Select soul to load", "local/avatar/soul/me.xml", "*.XML"));
    // The given pattern is the second filter, after "All", and the one selected.
    EXPECT_EQ("open Select soul to load All|*.*|*.XML|*.XML|| 2 " + start + "/local/avatar/soul/me.xml", asked);
    // Save asks before overwriting; a '\\' default path comes out '/' separated.
    answer = "/tmp/b.png";
    EXPECT_EQ(file_dialog_save_path, file_dialog_save("t", "local\\rendered\\test.png", "*.PNG"));
    EXPECT_EQ("save t All|*.*|*.PNG|*.PNG|| 2 ask " + start + "/local/rendered/test.png", asked);
    EXPECT_STREQ("/tmp/b.png", file_dialog_save_path);
    EXPECT_STREQ("/tmp/a.xml", file_dialog_path);
    file_dialog_save("t", NULL, "*.PNG");
    EXPECT_EQ("save t All|*.*|*.PNG|*.PNG|| 2 ask ", asked) << "no default: an empty name";
}

TEST_F(FileDialog, WorkingFolderIsRestoredAfterBrowsingAndAnOverlongOneGivesNoDefaultName)
{
    wander_to = "/";
    ASSERT_NE(nullptr, file_dialog_open("t", "x", "*.*"));
    EXPECT_EQ(start, cwd());

    std::string deep = start;
    while (deep.size() < 300) {
        deep += "/abcdefghijklmnopqrstuvwxyz0123456789";
        ASSERT_EQ(0, mkdir(deep.c_str(), 0755));
    }
    ASSERT_EQ(0, chdir(deep.c_str()));
    wander_to = NULL;
    ASSERT_NE(nullptr, file_dialog_save("t", "local/avatar/soul/me.xml", "*.XML"));
    EXPECT_EQ("save t All|*.*|*.XML|*.XML|| 2 ask ", asked);
    EXPECT_EQ(deep, cwd());
}

// A cancelled dialog gives null, after browsing too, and the folder is still put back.
TEST_F(FileDialog, ACancelGivesNullAndStillRestoresTheWorkingFolder)
{
    cancel = true;
    for (const char* folder : {(const char*)NULL, "/"}) {
        wander_to = folder;
        EXPECT_EQ(nullptr, file_dialog_open("t", "a.xml", "*.XML")) << (folder ? folder : "stay");
        EXPECT_EQ(nullptr, file_dialog_save("t", "a.xml", "*.XML")) << (folder ? folder : "stay");
        EXPECT_EQ(start, cwd());
    }
}
