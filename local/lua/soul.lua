-- Script of the soul library: the random soul generator the avatar editor calls.
--
-- soul.random(sex), sex "boi", "grl" or nil, returns a soul table: parts (by part name,
-- lists of up to four {group = ..., name = ...}) and surfaces (by surface name,
-- {argb = "0x...", spec = "0x...", gloss = n}). Mesh choices come from soul.info.groups:
-- an entry's boi or grl number weighs it for that sex (both summed when sex is nil).

math.randomseed(os.time())

-- The object group of each part's first slot; the head carries more on later slots.
local part_groups = {
    body = { "body" }, head = { "head", "hair", "hat", "specs" }, mouth = { "mouth" },
    nose = { "nose" }, tail = { "tail" },
    left_hand = { "hand" }, right_hand = { "hand" }, left_foot = { "foot" }, right_foot = { "foot" },
    left_eye = { "eye" }, right_eye = { "eye" }, left_eyeball = { "eyeball" },
    right_eyeball = { "eyeball" }, left_ear = { "ear" }, right_ear = { "ear" },
}
-- Parts that show the same choice as their twin.
local twins = { right_hand = "left_hand", right_foot = "left_foot", right_eye = "left_eye",
    right_eyeball = "left_eyeball", right_ear = "left_ear" }

local function weight(entry, sex)
    local boi, grl = tonumber(entry.boi) or 0, tonumber(entry.grl) or 0
    if sex == "boi" then return boi end
    if sex == "grl" then return grl end
    return boi + grl
end

-- A weighted pick among the group's entries; nil when none has weight.
local function pick(group_name, sex)
    local group = soul.info and soul.info.groups and soul.info.groups[group_name]
    if not group then return nil end
    local total = 0
    for _, entry in ipairs(group) do total = total + math.max(weight(entry, sex), 0) end
    if total <= 0 then return nil end
    local r = math.random() * total
    for _, entry in ipairs(group) do
        r = r - math.max(weight(entry, sex), 0)
        if r <= 0 then return entry end
    end
    return group[#group]
end

local skins = { 0xF2D0B0, 0xE0AC80, 0xC68650, 0x8D5524, 0xFFDBAC, 0x6B4423 }

local function colour(rgb) return string.format("0xFF%06X", rgb) end
local function random_rgb() return math.random(0, 255) * 65536 + math.random(0, 255) * 256 + math.random(0, 255) end
local function shade(rgb, f)
    local r, g, b = math.floor(rgb / 65536) % 256, math.floor(rgb / 256) % 256, rgb % 256
    local function c(v) return math.min(255, math.floor(v * f)) end
    return c(r) * 65536 + c(g) * 256 + c(b)
end

function soul.random(sex)
    local ret = { parts = {}, surfaces = {} }
    for part, groups in pairs(part_groups) do
        if not twins[part] then
            local list = {}
            for _, group in ipairs(groups) do
                local entry = pick(group, sex)
                if entry then list[#list + 1] = { group = group, name = entry.name } end
            end
            ret.parts[part] = list
        end
    end
    for part, twin in pairs(twins) do ret.parts[part] = ret.parts[twin] end

    local skin = skins[math.random(#skins)]
    local hair, body = random_rgb(), random_rgb()
    local s = ret.surfaces
    local function set(name, rgb, shine, gloss)
        s[name] = { argb = colour(rgb), spec = shine or "0x00000000", gloss = gloss or 0 }
    end
    set("skin", skin); set("lips", shade(skin, 0.8)); set("nipples", shade(skin, 0.85))
    set("hair", hair, "0xFF404040", 8); set("hairhi", shade(hair, 1.3)); set("hairlo", shade(hair, 0.7))
    set("eyebrows", shade(hair, 0.8)); set("beard", hair)
    set("specs", 0x202020, "0xFFFFFFFF", 32); set("eye", 0xFFFFFF, "0xFFFFFFFF", 32); set("iris", random_rgb())
    set("body", body); set("bodyhi", shade(body, 1.3)); set("bodylo", shade(body, 0.7))
    local foot = random_rgb()
    set("foot", foot); set("toecaps", shade(foot, 0.8)); set("sole", 0x303030); set("socks", 0xF0F0F0)
    return ret
end
