// Souls: reading parts, objects and surfaces from a document over the defaults, refusing
// documents without a flavour, and a save that reads back as the same soul.

#include "engine/code/gfx/soul.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/code/dbg.h"
#include "engine/code/gfx/avatars.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/pool.h"
#include "tests/harness/harness.h"

class Soul : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::remove("ERROR.TXT");
        dbg_reset_for_tests();
        GFX.soul_path_flag = 0;
        memset(&m, 0, sizeof m);
        pool_setup(&m.soul_pool, sizeof(avatar_soul), 8);
        std::filesystem::create_directories("local/avatar/soul");
    }
    void TearDown() override
    {
        for (list_node* n = list_first(&m.soul_pool.live); n->next;) {
            list_node* next = n->next;
            soul_free(&m, (avatar_soul*)n);
            n = next;
        }
        pool_clean(&m.soul_pool);
        GFX.soul_path_flag = 0;
    }
    avatar_soul* with_flavour(const std::string& inside)
    {
        write("local/avatar/soul/t.xml", "<soul><flavour>" + inside + "</flavour></soul>");
        return soul_alloc(&m, "t");
    }
    static void write(const char* path, const std::string& text) { harness_write_file(path, text.c_str()); }
    static std::string read(const char* path) { return harness_read_file(path); }
    avatars m;
};

TEST_F(Soul, PartsObjectsAndSurfacesAreReadByNameOverTheDefaults)
{
    avatar_soul* s = with_flavour(
        "<part name='HEAD' Xsize='1.5' Zsize='oops'>"
        "  <object group='head' name='round'/><object group='nosuch' name='kept'/><object/>"
        "  <object group='hat' name='four'/><object group='hat' name='five'/></part>"
        "<part name='nosuch'><object group='hat' name='lost'/></part>"
        "<part name='head' Ysize='0.5'><object group='hair' name='again'/></part>"
        "<part name='legs' Xsize='2'/>"
        "<surface name='Skin' argb='0x80112233' spec='AABBCCDD' gloss='0.75'/>"
        "<surface name='hair' argb='zz'/><surface name='nosuch' argb='0'/>");
    ASSERT_NE(s, nullptr);
    const vec3& head = s->sizes[6];
    EXPECT_EQ((std::vector<float>{1.5f, 0.5f, 1.0f}), (std::vector<float>{head.x, head.y, head.z})); // z unparsable
    // The second element for the head refills slot 0 and leaves the others as they were; a
    // fifth object is ignored. Slots as "group:name".
    auto slot = [&](int p, int i) { return std::to_string(s->objects[p][i].group) + ":" + s->objects[p][i].name; };
    EXPECT_EQ(slot(6, 0) + " " + slot(6, 1) + " " + slot(6, 2) + " " + slot(6, 3), "6:again -1:kept -1: 9:four");
    EXPECT_EQ((std::vector<uint32_t>{0x80112233, 0xAABBCCDD, 0xFFFFFFFF}),
              (std::vector<uint32_t>{s->surfaces[0].argb, s->surfaces[0].spec, s->surfaces[3].argb}));
    EXPECT_EQ(s->surfaces[0].gloss, 0.75f);
    // What the document leaves out keeps the defaults.
    EXPECT_EQ(s->sizes[5].x, 1.0f);
    EXPECT_EQ(s->objects[5][0].part, 5);
    EXPECT_EQ(slot(5, 0), "-1:");
    EXPECT_STREQ(s->surfaces[16].name, "sole");
    EXPECT_EQ(s->surfaces[16].argb, 0xFFFFFFFFu);
}

TEST_F(Soul, DocumentsThatCannotBeUsedGiveNoSoul)
{
    EXPECT_EQ(soul_alloc(&m, "missing"), nullptr);
    EXPECT_NE(read("ERROR.TXT").find("tinyxml.LoadFile(path)\nlocal/avatar/soul/missing.xml("), std::string::npos);
    for (const char* text : {"<soul><other/></soul>", "<soul>flavour<!-- no element --></soul>", "<soul><flavour></soul>"}) {
        write("local/avatar/soul/t.xml", text);
        EXPECT_EQ(soul_alloc(&m, "t"), nullptr) << text;
    }
    EXPECT_NE(read("ERROR.TXT").find("Invalid XML.\n"), std::string::npos);
    EXPECT_EQ(m.soul_count, 0);

    // With the path flag the name is the document's path.
    write("elsewhere.xml", "<soul><flavour/></soul>");
    EXPECT_EQ(soul_alloc(&m, "elsewhere.xml"), nullptr);
    GFX.soul_path_flag = 1;
    EXPECT_NE(soul_alloc(&m, "elsewhere.xml"), nullptr);
    // A folder is refused like a missing file (it used to end the program).
    std::filesystem::create_directories("folder.xml");
    EXPECT_EQ(soul_alloc(&m, "folder.xml"), nullptr);
    EXPECT_NE(read("ERROR.TXT").find("tinyxml.LoadFile(path)\nfolder.xml("), std::string::npos);
}

TEST_F(Soul, SaveWritesWhatALoadReadsBack)
{
    avatar_soul* s = with_flavour("");
    ASSERT_NE(s, nullptr);
    s->sizes[6] = {1.25f, 1, 1};
    s->sizes[7] = {1, 1.0000001f, 1};
    s->sizes[0] = {3, 3, 3}; // never written
    s->objects[6][1].group = 11;
    strcpy(s->objects[6][1].name, "round");
    s->objects[6][2].group = -1;
    strcpy(s->objects[6][2].name, "groupless");
    s->objects[1][0].group = 1;
    strcpy(s->objects[1][0].name, "lost");
    s->surfaces[5].argb = 0x01020304;
    s->surfaces[5].spec = 0xFFEEDDCC;
    s->surfaces[5].gloss = 0.125f;
    ASSERT_TRUE(soul_save(s, "saved.txt"));
    EXPECT_FALSE(std::filesystem::exists("saved.txt"));
    std::string text = read("saved.xml");
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\" standalone=\"no\" ?>", 0), 0u) << text;
    for (const char* written : {"<part name=\"head\" Xsize=\"1.250000\" Ysize=\"1.000000\" Zsize=\"1.000000\">",
                                "<part name=\"mouth\" Xsize=", "<part name=\"nose\">",
                                "<object group=\"head\" name=\"round\" />", "<object name=\"groupless\" />",
                                "<object />",
                                "<surface name=\"hairlo\" argb=\"0x01020304\" spec=\"0xffeeddcc\" gloss=\"0.125000\" />"})
        EXPECT_NE(text.find(written), std::string::npos) << written;
    for (const char* never : {"handle", "center", "legs", "upper", "arms", "left_wrist", "right_wrist", "lost"})
        EXPECT_EQ(text.find(std::string("\"") + never + "\""), std::string::npos) << never;

    GFX.soul_path_flag = 1;
    avatar_soul* back = soul_alloc(&m, "saved.xml");
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->sizes[6].x, 1.25f);
    EXPECT_EQ(back->objects[6][1].group, 11);
    EXPECT_EQ(memcmp(back->surfaces, s->surfaces, sizeof s->surfaces), 0);

    EXPECT_FALSE(soul_save(s, "no/such/folder/x"));
    EXPECT_NE(read("ERROR.TXT").find("tinyxml.SaveFile\n"), std::string::npos);
}
