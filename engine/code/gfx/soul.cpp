// Souls: defaults, reading a soul document and writing one, through TinyXML.
//
// Sections: pool; reading; writing.

#include "engine/code/gfx/soul.h"

#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <tinyxml.h>

#include "engine/code/dbg.h"
#include "engine/code/gfx/avatars.h"
#include "engine/code/gfx/gfx.h"

// Every saved soul starts from this document.
static const char doc_base[] =
    "<?xml version=\"1.0\"  standalone='no' >\n"
    "<!-- Soul format: http://example.org/xml/soul -->\n"
    "<!-- A wavy soul for all your modern avatar needs -->\n"
    "<soul version=\"1.0\">\n"
    "<flavour name=\"vanila\">\n"
    "</flavour>\n"
    "</soul>";

// ---------------------------------------------------------------------------------------
// Pool

avatar_soul* soul_alloc(avatars* m, const char* name)
{
    avatar_soul* soul = (avatar_soul*)pool_alloc(&m->soul_pool);
    if (!soul)
        return nullptr;
    m->soul_count++;
    if (!soul_load(soul, name)) {
        m->soul_count--;
        pool_free(&m->soul_pool, soul);
        return nullptr;
    }
    list_append(&m->soul_pool.live, &soul->link);
    return soul;
}

void soul_free(avatars* m, avatar_soul* soul)
{
    if (!soul)
        return;
    m->soul_count--;
    list_unlink(&soul->link);
    pool_free(&m->soul_pool, soul);
}

// ---------------------------------------------------------------------------------------
// Reading

// Logs the document's error when the step left one; true when it did.
static void xml_log(const TiXmlDocument* doc, const char* step)
{
    const char* desc = doc->ErrorDesc();
    dbg_error("tinyxml.%s\n%s(%d) : %d %s\n", step, doc->Value() ? doc->Value() : "", doc->ErrorRow() + 1,
              doc->ErrorCol() + 1, desc ? desc : "");
}

static bool xml_failed(const TiXmlDocument* doc, const char* step)
{
    if (!doc->Error())
        return false;
    xml_log(doc, step);
    return true;
}

// The flavour element of a parsed document, or null after logging.
static TiXmlElement* flavour_of(TiXmlDocument* doc)
{
    TiXmlElement* root = doc->RootElement();
    if (xml_failed(doc, "RootElement"))
        return nullptr;
    TiXmlNode* flavour = root ? root->FirstChild("flavour") : nullptr;
    if (xml_failed(doc, "FirstChild(\"flavour\")"))
        return nullptr;
    if (!flavour || !flavour->ToElement()) {
        dbg_error("Invalid XML.\n");
        return nullptr;
    }
    return flavour->ToElement();
}

static void set_defaults(avatar_soul* soul)
{
    for (int32_t p = 0; p < AVATAR_PART_COUNT; p++) {
        soul->sizes[p] = {1, 1, 1};
        for (soul_object& o : soul->objects[p]) {
            o.part = p;
            o.group = -1;
            o.name[0] = 0;
        }
    }
    for (int32_t s = 0; s < AVATAR_SURFACE_COUNT; s++) {
        snprintf(soul->surfaces[s].name, sizeof soul->surfaces[s].name, "%s", avatar_surface_name(s));
        soul->surfaces[s].argb = 0xFFFFFFFF;
    }
}

// Each reader leaves the field as it was when the attribute is missing or does not parse.
static void read_float(const TiXmlElement* e, const char* name, float* out)
{
    const char* text = e->Attribute(name);
    float v;
    if (text && sscanf(text, "%f", &v) == 1)
        *out = v;
}

static void read_hex(const TiXmlElement* e, const char* name, uint32_t* out)
{
    const char* text = e->Attribute(name);
    unsigned v;
    if (text && sscanf(text, "%x", &v) == 1)
        *out = v;
}

static void read_part(avatar_soul* soul, const TiXmlElement* part)
{
    int32_t p = avatar_part_find(part->Attribute("name"));
    if (p < 0)
        return;
    read_float(part, "Xsize", &soul->sizes[p].x);
    read_float(part, "Ysize", &soul->sizes[p].y);
    read_float(part, "Zsize", &soul->sizes[p].z);
    int32_t j = 0;
    for (const TiXmlElement* o = part->FirstChildElement("object"); o && j < SOUL_OBJECTS;
         o = o->NextSiblingElement("object"), j++) {
        soul_object* obj = &soul->objects[p][j];
        obj->part = p;
        obj->group = avatar_group_find(o->Attribute("group"));
        const char* name = o->Attribute("name");
        snprintf(obj->name, sizeof obj->name, "%s", name ? name : "");
    }
}

static void read_surface(avatar_soul* soul, const TiXmlElement* e)
{
    int32_t s = avatar_surface_find(e->Attribute("name"));
    if (s < 0)
        return;
    read_hex(e, "argb", &soul->surfaces[s].argb);
    read_hex(e, "spec", &soul->surfaces[s].spec);
    read_float(e, "gloss", &soul->surfaces[s].gloss);
}

// Loads the document from a regular file only. The XML library sizes its read buffer from
// the file's seek length, which for a folder is meaningless and ends the program with an
// allocation failure; anything that is not a regular file fails as a missing file does.
static void load_document(TiXmlDocument* doc, const char* path)
{
    FILE* fp = fopen(path, "rb");
    struct stat st;
    if (fp && (fstat(fileno(fp), &st) != 0 || !S_ISREG(st.st_mode))) {
        fclose(fp);
        fp = nullptr;
    }
    doc->SetValue(path);
    if (!fp) {
        doc->SetError(TiXmlBase::TIXML_ERROR_OPENING_FILE, nullptr, nullptr, TIXML_ENCODING_UNKNOWN);
        return;
    }
    doc->LoadFile(fp);
    fclose(fp);
}

bool soul_load(avatar_soul* soul, const char* name)
{
    set_defaults(soul);
    char path[512];
    if (GFX.soul_path_flag)
        snprintf(path, sizeof path, "%s", name ? name : "");
    else
        snprintf(path, sizeof path, "local/avatar/soul/%s.xml", name ? name : "");
    TiXmlDocument doc;
    load_document(&doc, path);
    // The step is named as the call reads; the file's name follows as the document's value.
    if (xml_failed(&doc, "LoadFile(path)"))
        return false;
    TiXmlElement* flavour = flavour_of(&doc);
    if (!flavour)
        return false;
    for (const TiXmlElement* e = flavour->FirstChildElement("part"); e; e = e->NextSiblingElement("part"))
        read_part(soul, e);
    for (const TiXmlElement* e = flavour->FirstChildElement("surface"); e; e = e->NextSiblingElement("surface"))
        read_surface(soul, e);
    return true;
}

// ---------------------------------------------------------------------------------------
// Writing

// The path with its extension replaced by ".xml" (folders may use either slash).
static void xml_path(const char* path, char* out, size_t size)
{
    if (!path)
        path = "";
    size_t n = strlen(path);
    size_t file = 0;
    for (size_t i = 0; i < n; i++)
        if (path[i] == '/' || path[i] == '\\')
            file = i + 1;
    size_t end = n;
    for (size_t i = file; i < n; i++)
        if (path[i] == '.')
            end = i;
    snprintf(out, size, "%.*s.xml", (int)end, path);
}

// Parts the soul format never writes: the skeleton's structural parts and the wrists.
static bool part_written(int32_t p)
{
    return p > 4 && p != 10 && p != 16;
}

static void write_part(const avatar_soul* soul, int32_t p, TiXmlElement* flavour)
{
    TiXmlElement* part = new TiXmlElement("part");
    part->SetAttribute("name", avatar_part_name(p));
    const vec3& s = soul->sizes[p];
    if (s.x != 1.0f || s.y != 1.0f || s.z != 1.0f) {
        char text[64];
        snprintf(text, sizeof text, "%f", s.x);
        part->SetAttribute("Xsize", text);
        snprintf(text, sizeof text, "%f", s.y);
        part->SetAttribute("Ysize", text);
        snprintf(text, sizeof text, "%f", s.z);
        part->SetAttribute("Zsize", text);
    }
    for (const soul_object& o : soul->objects[p]) {
        TiXmlElement* obj = new TiXmlElement("object");
        if (o.name[0]) {
            // An object without a known group is written without one, as a load reads it.
            if (o.group >= 0 && o.group < AVATAR_GROUP_COUNT)
                obj->SetAttribute("group", avatar_group_name(o.group));
            obj->SetAttribute("name", o.name);
        }
        part->LinkEndChild(obj);
    }
    flavour->LinkEndChild(part);
}

static void write_surface(const avatar_soul* soul, int32_t s, TiXmlElement* flavour)
{
    const soul_surface& sf = soul->surfaces[s];
    TiXmlElement* e = new TiXmlElement("surface");
    char text[64];
    e->SetAttribute("name", avatar_surface_name(s));
    snprintf(text, sizeof text, "0x%08x", sf.argb);
    e->SetAttribute("argb", text);
    snprintf(text, sizeof text, "0x%08x", sf.spec);
    e->SetAttribute("spec", text);
    snprintf(text, sizeof text, "%f", sf.gloss);
    e->SetAttribute("gloss", text);
    flavour->LinkEndChild(e);
}

bool soul_save(const avatar_soul* soul, const char* path)
{
    char file[512];
    xml_path(path, file, sizeof file);
    TiXmlDocument doc;
    doc.Parse(doc_base);
    if (xml_failed(&doc, "Parse(doc_base)"))
        return false;
    TiXmlElement* flavour = flavour_of(&doc);
    if (!flavour)
        return false;
    for (int32_t p = 0; p < AVATAR_PART_COUNT; p++)
        if (part_written(p))
            write_part(soul, p, flavour);
    for (int32_t s = 0; s < AVATAR_SURFACE_COUNT; s++)
        write_surface(soul, s, flavour);
    // A failed save sets no document error: the result is the only sign.
    if (!doc.SaveFile(file)) {
        xml_log(&doc, "SaveFile");
        return false;
    }
    return true;
}
