// Platform file dialogs: the terminal prompt's answers and refusals, and the zenity
// back-end driven through a stand-in zenity script.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/plat_dialog.h"

namespace {

std::string cwd()
{
    char buf[PATH_MAX];
    return getcwd(buf, sizeof buf) ? buf : "";
}

void touch(const std::string& path) { std::ofstream(path) << "x"; }

// Runs the prompt on scripted input; returns whether it chose, with the path and the
// transcript of what it printed.
struct prompt_run {
    BOOL ok;
    std::string path, shown;
};

prompt_run prompt(const std::string& input, plat_dialog_kind kind, DWORD flags,
                  const std::string& initial = "", DWORD cap = 260)
{
    char file[260];
    snprintf(file, sizeof file, "%s", initial.c_str());
    OPENFILENAMEA ofn;
    memset(&ofn, 0, sizeof ofn);
    ofn.lpstrFile = file;
    ofn.nMaxFile = cap;
    ofn.lpstrTitle = "Select soul to save";
    ofn.Flags = flags;
    FILE* in = fmemopen((void*)input.data(), input.size(), "r");
    char* out_buf = NULL;
    size_t out_len = 0;
    FILE* out = open_memstream(&out_buf, &out_len);
    prompt_run r;
    r.ok = plat_dialog_prompt(in, out, kind, &ofn);
    fclose(in);
    fclose(out);
    r.path = file;
    r.shown.assign(out_buf, out_len);
    free(out_buf);
    return r;
}

const DWORD OPEN_FLAGS = OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
const DWORD SAVE_FLAGS = OPEN_FLAGS | OFN_OVERWRITEPROMPT;

} // namespace

TEST(PlatDialogPrompt, AnswersDefaultAndCancel)
{
    mkdir("soul", 0755);
    std::string initial = cwd() + "/soul/me.xml";
    prompt_run r = prompt("\n", PLAT_DIALOG_SAVE, SAVE_FLAGS, initial); // Enter keeps the default
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(initial, r.path);
    EXPECT_EQ("Select soul to save [soul/me.xml]: ", r.shown);

    r = prompt("  other.xml \n", PLAT_DIALOG_OPEN, OPEN_FLAGS); // taken from the working folder
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(cwd() + "/other.xml", r.path);

    EXPECT_FALSE(prompt("", PLAT_DIALOG_OPEN, OPEN_FLAGS, "/tmp/x").ok); // end of input
    EXPECT_FALSE(prompt("\n", PLAT_DIALOG_OPEN, OPEN_FLAGS).ok);         // nothing to keep
}

TEST(PlatDialogPrompt, RefusesMissingFolderFoldersAndOverlongPathsThenAsksAgain)
{
    mkdir("here", 0755);
    prompt_run r = prompt("nowhere/a.xml\nhere\n" + std::string(400, 'q') + "\nhere/a.xml\n",
                          PLAT_DIALOG_OPEN, OPEN_FLAGS);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(cwd() + "/here/a.xml", r.path);
    EXPECT_NE(std::string::npos, r.shown.find("There is no folder " + cwd() + "/nowhere"));
    EXPECT_NE(std::string::npos, r.shown.find("is a folder"));
    EXPECT_NE(std::string::npos, r.shown.find("too long"));

    // A path that does not fit the caller's buffer is refused too.
    r = prompt("/tmp/abcdefghij\n", PLAT_DIALOG_OPEN, OPEN_FLAGS, "", 8);
    EXPECT_FALSE(r.ok);
}

TEST(PlatDialogPrompt, SaveReplacesAnExistingFileOnlyAfterYes)
{
    touch("taken.xml");
    prompt_run r = prompt("taken.xml\nn\ntaken.xml\ny\n", PLAT_DIALOG_SAVE, SAVE_FLAGS);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(cwd() + "/taken.xml", r.path);
    size_t first = r.shown.find("already exists");
    ASSERT_NE(std::string::npos, first);
    EXPECT_NE(std::string::npos, r.shown.find("already exists", first + 1));

    // Opening an existing file asks nothing.
    r = prompt("taken.xml\n", PLAT_DIALOG_OPEN, OPEN_FLAGS);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(std::string::npos, r.shown.find("already exists"));
}

// A stand-in zenity on PATH that records its arguments and answers as told.
class PlatDialogZenity : public testing::Test {
protected:
    void SetUp() override
    {
        dir = cwd() + "/fakebin";
        mkdir(dir.c_str(), 0755);
        std::ofstream(dir + "/zenity") << "#!/bin/sh\n"
                                          "for a in \"$@\"; do echo \"$a\"; done > \"$(dirname \"$0\")/args\"\n"
                                          "cat \"$(dirname \"$0\")/answer\" 2>/dev/null || exit 1\n";
        chmod((dir + "/zenity").c_str(), 0755);
        old_path = getenv("PATH") ? getenv("PATH") : "";
        setenv("PATH", (dir + ":" + old_path).c_str(), 1);
        setenv("DISPLAY", ":77", 1);
    }
    void TearDown() override
    {
        setenv("PATH", old_path.c_str(), 1);
        unsetenv("DISPLAY");
        unlink((dir + "/answer").c_str());
    }
    std::string args()
    {
        std::ifstream f(dir + "/args");
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }
    std::string dir, old_path;
};

TEST_F(PlatDialogZenity, SaveAsksWithTitleNameAndSelectedFilterFirst)
{
    std::ofstream(dir + "/answer") << "/home/u/soul/new.xml\n";
    char file[260] = "/home/u/soul/me.xml";
    static const char filter[] = "All\0*.*\0*.XML\0*.XML\0";
    OPENFILENAMEA ofn;
    memset(&ofn, 0, sizeof ofn);
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof file;
    ofn.lpstrFilter = filter;
    ofn.nFilterIndex = 2;
    ofn.lpstrTitle = "Select soul to save";
    ofn.Flags = SAVE_FLAGS;
    ASSERT_TRUE(GetSaveFileNameA(&ofn));
    EXPECT_STREQ("/home/u/soul/new.xml", file);
    EXPECT_EQ("--file-selection\n--title=Select soul to save\n--save\n--confirm-overwrite\n"
              "--filename=/home/u/soul/me.xml\n--file-filter=*.XML | *.XML *.xml\n"
              "--file-filter=All | *\n",
              args());

    // Cancel (exit 1) and an answer too long for the buffer both fail.
    unlink((dir + "/answer").c_str());
    EXPECT_FALSE(GetOpenFileNameA(&ofn));
    EXPECT_EQ(std::string::npos, args().find("--save"));
    std::ofstream(dir + "/answer") << "/" << std::string(300, 'a') << "\n";
    EXPECT_FALSE(GetOpenFileNameA(&ofn));
}
