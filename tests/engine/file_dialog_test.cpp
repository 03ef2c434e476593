// File dialogs: what is asked of the platform's dialog, what comes back, and the working
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

// What the last dialog was asked, and the scripted answer it gives.
struct request {
    plat_dialog_kind kind;
    OPENFILENAMEA ofn;
    std::string title, initial, filter;
};
request last;
const char* answer;        // NULL: the user cancels
const char* wander_to;     // the folder the "user" browses into

BOOL fake_dialog(plat_dialog_kind kind, OPENFILENAMEA* ofn)
{
    last.kind = kind;
    last.ofn = *ofn;
    last.title = ofn->lpstrTitle ? ofn->lpstrTitle : "";
    last.initial = ofn->lpstrFile;
    const char* f = ofn->lpstrFilter;
    size_t n = 0;
    while (f[n] || f[n + 1])
        n++;
    last.filter.assign(f, n + 2);
    if (wander_to && chdir(wander_to) != 0)
        return FALSE;
    if (!answer)
        return FALSE;
    snprintf(ofn->lpstrFile, ofn->nMaxFile, "%s", answer);
    return TRUE;
}

std::string cwd()
{
    char buf[PATH_MAX];
    return getcwd(buf, sizeof buf) ? buf : "";
}

class FileDialog : public testing::Test {
protected:
    void SetUp() override
    {
        plat_set_file_dialog(fake_dialog);
        last = request();
        answer = NULL;
        wander_to = NULL;
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

TEST_F(FileDialog, RequestCarriesTitleFilterAndInitialPathAndAnswersFillTheirOwnBuffers)
{
    answer = "/tmp/a.xml";
    EXPECT_EQ(file_dialog_path, file_dialog_open("Select soul to load", "local/avatar/soul/me.xml", "*.XML"));
    EXPECT_STREQ("/tmp/a.xml", file_dialog_path);
    EXPECT_EQ(PLAT_DIALOG_OPEN, last.kind);
    EXPECT_EQ("Select soul to load", last.title);
    EXPECT_EQ(std::string("All\0*.*\0*.XML\0*.XML\0\0", 21), last.filter);
    EXPECT_EQ(2u, last.ofn.nFilterIndex) << "the given pattern is selected";
    EXPECT_EQ(start + "/local/avatar/soul/me.xml", last.initial);

    // Save asks before overwriting; a '\\' default path comes out '/' separated.
    answer = "/tmp/b.png";
    EXPECT_EQ(file_dialog_save_path, file_dialog_save("t", "local\\rendered\\test.png", "*.PNG"));
    EXPECT_EQ(PLAT_DIALOG_SAVE, last.kind);
    EXPECT_TRUE(last.ofn.Flags & OFN_OVERWRITEPROMPT);
    EXPECT_EQ(start + "/local/rendered/test.png", last.initial);
    EXPECT_STREQ("/tmp/b.png", file_dialog_save_path);
    EXPECT_STREQ("/tmp/a.xml", file_dialog_path) << "each kind answers in its own buffer";
    file_dialog_save("t", NULL, "*.PNG");
    EXPECT_EQ("", last.initial); // no default: an empty name in the working folder

    answer = NULL; // the user cancels
    EXPECT_EQ(nullptr, file_dialog_open("t", "a.xml", "*.XML"));
    EXPECT_EQ(nullptr, file_dialog_save("t", "a.xml", "*.XML"));
}

TEST_F(FileDialog, WorkingFolderIsRestoredAfterBrowsingAndAnOverlongOneGivesNoDefaultName)
{
    wander_to = "/";
    answer = "/etc/x";
    ASSERT_NE(nullptr, file_dialog_open("t", "x", "*.*"));
    EXPECT_EQ(start, cwd());
    answer = NULL;
    EXPECT_EQ(nullptr, file_dialog_save("t", "x", "*.*"));
    EXPECT_EQ(start, cwd());

    // An overlong working folder opens with no default name.
    std::string deep = start;
    while (deep.size() < 300) {
        deep += "/abcdefghijklmnopqrstuvwxyz0123456789";
        ASSERT_EQ(0, mkdir(deep.c_str(), 0755));
    }
    ASSERT_EQ(0, chdir(deep.c_str()));
    answer = "/tmp/z.xml";
    ASSERT_NE(nullptr, file_dialog_save("t", "local/avatar/soul/me.xml", "*.XML"));
    EXPECT_EQ("", last.initial);
    EXPECT_EQ(deep, cwd());
}
