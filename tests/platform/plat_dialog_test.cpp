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
#include <vector>

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

// Each answer typed at the prompt: what it chooses and what the prompt said on the way.
TEST(PlatDialogPrompt, AnswersRefusalsAndTheOverwriteQuestion)
{
    mkdir("soul", 0755);
    mkdir("here", 0755);
    touch("taken.xml");
    const std::string here = cwd(), initial = here + "/soul/me.xml";
    struct {
        std::string input;
        plat_dialog_kind kind;
        std::string initial;
        DWORD cap;
        const char* chosen; // null: refused
        std::vector<std::string> said;
    } cases[] = {
        // Enter keeps the default, shown relative to the working folder.
        {"\n", PLAT_DIALOG_SAVE, initial, 260, "/soul/me.xml", {"Select soul to save [soul/me.xml]: "}},
        {"  other.xml \n", PLAT_DIALOG_OPEN, "", 260, "/other.xml", {}},
        {"", PLAT_DIALOG_OPEN, "/tmp/x", 260, nullptr, {}}, // end of input
        {"\n", PLAT_DIALOG_OPEN, "", 260, nullptr, {}},     // nothing to keep
        // A missing folder, a folder and an overlong path are refused and asked again.
        {"nowhere/a.xml\nhere\n" + std::string(400, 'q') + "\nhere/a.xml\n", PLAT_DIALOG_OPEN, "", 260,
         "/here/a.xml", {"There is no folder " + here + "/nowhere", "is a folder", "too long"}},
        {"/tmp/abcdefghij\n", PLAT_DIALOG_OPEN, "", 8, nullptr, {}}, // longer than the caller's buffer
        // Saving over a file asks first; "n" asks for another name. Opening asks nothing.
        {"taken.xml\nn\ntaken.xml\ny\n", PLAT_DIALOG_SAVE, "", 260, "/taken.xml",
         {"taken.xml already exists. Replace it? [y/N]: Select soul to save: " + here + "/taken.xml already exists"}},
        {"taken.xml\n", PLAT_DIALOG_OPEN, "", 260, "/taken.xml", {}},
    };
    for (auto& c : cases) {
        prompt_run r = prompt(c.input, c.kind, c.kind == PLAT_DIALOG_SAVE ? SAVE_FLAGS : OPEN_FLAGS, c.initial, c.cap);
        EXPECT_EQ(r.ok, c.chosen != nullptr) << c.input;
        if (c.chosen) {
            EXPECT_EQ(here + c.chosen, r.path) << c.input;
        }
        for (const std::string& text : c.said)
            EXPECT_NE(std::string::npos, r.shown.find(text)) << c.input << " -> " << r.shown;
        if (c.kind == PLAT_DIALOG_OPEN) {
            EXPECT_EQ(std::string::npos, r.shown.find("already exists")) << c.input;
        }
    }
}

// With a display, the dialog is zenity's: a stand-in on PATH records its arguments and
// answers as told.
TEST(PlatDialogZenity, SaveAsksWithTitleNameAndSelectedFilterFirst)
{
    const std::string dir = cwd() + "/fakebin";
    mkdir(dir.c_str(), 0755);
    std::ofstream(dir + "/zenity") << "#!/bin/sh\n"
                                      "for a in \"$@\"; do echo \"$a\"; done > \"$(dirname \"$0\")/args\"\n"
                                      "cat \"$(dirname \"$0\")/answer\" 2>/dev/null || exit 1\n";
    chmod((dir + "/zenity").c_str(), 0755);
    setenv("PATH", (dir + ":" + getenv("PATH")).c_str(), 1); // each test runs in its own process
    setenv("DISPLAY", ":77", 1);
    auto args = [&] {
        std::stringstream s;
        s << std::ifstream(dir + "/args").rdbuf();
        return s.str();
    };

    std::ofstream(dir + "/answer") << "/home/u/soul/new.xml\n";
    char file[260] = "/home/u/soul/me.xml";
    OPENFILENAMEA ofn;
    memset(&ofn, 0, sizeof ofn);
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof file;
    ofn.lpstrFilter = "All\0*.*\0*.XML\0*.XML\0";
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
