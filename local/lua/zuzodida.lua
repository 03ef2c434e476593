-- Script of the zuzodida library: builds the avatar editor's menu each time the editor
-- starts. Gizmos named like the editor's BTN_ records are linked to them; part-choice
-- buttons carry part_group and part_name and show a preview of their mesh; the gizmo
-- BTN_Avatar frames the edited avatar.

zuzodida.gizmos = {}

local function caption(text) return { text = text } end

local function btn(name, text, extra)
    local t = { button = name, caption(text) }
    for k, v in pairs(extra or {}) do t[k] = v end
    return t
end

local function grid(columns, children, extra)
    local t = { limit_wide = columns }
    for i, c in ipairs(children) do t[i] = c end
    for k, v in pairs(extra or {}) do t[k] = v end
    return t
end

-- A horizontal track with a handle that shows and sets the record's value.
local function slider(label, record)
    return grid(2, {
        { text = label, font = "comic", min_width = 60 },
        { min_width = 110, min_height = 16, xalign = -1, yalign = 0,
          { handle = "SLIDE_" .. record, handle_x = record, min_width = 12, min_height = 12 } },
    })
end

-- ---- parts ----

-- The object slots the parts page edits: the label record showing the slot's object (nil
-- for slots without one), the choice record, a caption and the groups offered.
local slots = {
    { "BTN_Head", "BTN_HeadSelect", "Head", { "head" } },
    { "BTN_HairA", "BTN_HairASelect", "Hair", { "hair", "hair_base" } },
    { "BTN_HairB", "BTN_HairBSelect", "Hair 2", { "hair_xtra", "hair_base" } },
    { "BTN_HairC", "BTN_HairCSelect", "Hat", { "hat" } },
    { "BTN_Nose", "BTN_NoseSelect", "Nose", { "nose" } },
    { "BTN_Specs", "BTN_SpecsSelect", "Specs", { "specs" } },
    { "BTN_Mouth", "BTN_MouthSelect", "Mouth", { "mouth" } },
    { "BTN_Beard", "BTN_BeardSelect", "Beard", { "beard" } },
    { nil, "BTN_InMouthSelect", "In mouth", { "inmouth" } },
    { "BTN_Ears", "BTN_EarsSelect", "Ears", { "ear" } },
    { "BTN_Eyes", "BTN_EyesSelect", "Eyes", { "eye" } },
    { "BTN_EyeBalls", "BTN_EyeBallsSelect", "Eyeballs", { "eyeball" } },
    { "BTN_Body", "BTN_BodySelect", "Body", { "body" } },
    { "BTN_Tail", "BTN_TailSelect", "Tail", { "tail" } },
    { "BTN_Hands", "BTN_HandsSelect", "Hands", { "hand" } },
    { nil, "BTN_InHandLSelect", "L hand", { "inhand" } },
    { nil, "BTN_InHandRSelect", "R hand", { "inhand" } },
    { "BTN_Feet", "BTN_FeetSelect", "Feet", { "foot" } },
}

local function choices(slot, index)
    local list = { btn(slot[2], "None", { part_group = slot[4][1], part_name = "none", style = "nofill", min_width = 56, min_height = 56 }) }
    for _, group_name in ipairs(slot[4]) do
        local group = soul.info and soul.info.groups and soul.info.groups[group_name]
        for _, entry in ipairs(group or {}) do
            list[#list + 1] = { button = slot[2], part_group = group_name, part_name = entry.name, style = "nofill",
                                min_width = 56, min_height = 56 }
        end
    end
    return grid(6, list, { label = "PICK_" .. index, hide = 1 })
end

-- Each object button shows the slot's object above the slot's caption.
local function parts_page()
    local objects, picks = {}, {}
    for i, slot in ipairs(slots) do
        objects[#objects + 1] = { button = slot[1] or ("OBJ_" .. i), group = "objects", target = "PICK_" .. i,
                                  limit_wide = 1, min_width = 130,
                                  caption(slot[1] and "None" or "..."), { text = slot[3], font = "comic", color = "ffc0c0ff" } }
        picks[#picks + 1] = choices(slot, i)
    end
    return grid(1, { grid(3, objects), grid(1, picks) }, { label = "BTN_LayoutParts" })
end

-- ---- colours ----

local surfaces = {
    { "BTN_ColorSkin", "Skin" }, { "BTN_ColorLips", "Lips" }, { "BTN_ColorNipples", "Nipples" },
    { "BTN_ColorHair", "Hair" }, { "BTN_ColorHairHi", "Hair light" }, { "BTN_ColorHairLo", "Hair dark" },
    { "BTN_ColorEyebrows", "Eyebrows" }, { "BTN_ColorBeard", "Beard" }, { "BTN_ColorSpecs", "Specs" },
    { "BTN_ColorEye", "Eyes" }, { "BTN_ColorIris", "Iris" }, { "BTN_ColorBody", "Body" },
    { "BTN_ColorBodyHi", "Body light" }, { "BTN_ColorBodyLo", "Body dark" }, { "BTN_ColorFoot", "Shoes" },
    { "BTN_ColorToecaps", "Toecaps" }, { "BTN_ColorSole", "Soles" }, { "BTN_ColorSocks", "Socks" },
}

local palette = { "ffffffff", "ff000000", "ff808080", "ffc00000", "ffff8000", "ffffe000", "ff40c040",
                  "ff008080", "ff2060ff", "ff8040c0", "ffff80c0", "fff2d0b0", "ffc68650", "ff6b4423" }

local function colours_page()
    local cells = {}
    for _, s in ipairs(surfaces) do
        -- The swatch after the button shows colour plus shine.
        cells[#cells + 1] = grid(3, {
            { text = s[2], font = "comic", min_width = 100 },
            { button = s[1], group = "surfaces", min_width = 28, min_height = 18 },
            { gfx = 1, min_width = 12, min_height = 18 },
        })
    end
    local groups = grid(4, {
        btn("BTN_ColorSkinGroup", "Skin", { group = "surfaces" }),
        btn("BTN_ColorHairGroup", "Hair", { group = "surfaces" }),
        btn("BTN_ColorBodyGroup", "Body", { group = "surfaces" }),
        btn("BTN_ColorFootGroup", "Feet", { group = "surfaces" }),
    })
    local picks, shines = {}, {}
    for _, c in ipairs(palette) do
        picks[#picks + 1] = { button = "BTN_ColorPick", color = c, min_width = 18, min_height = 18 }
        shines[#shines + 1] = { button = "BTN_SpecPick", color = c, min_width = 18, min_height = 18 }
    end
    return grid(1, {
        groups,
        grid(3, cells),
        grid(2, { caption("Colour"), grid(#palette, picks), caption("Shine"), grid(#palette, shines) }),
        grid(2, {
            grid(1, { slider("A", "BTN_ColorA"), slider("R", "BTN_ColorR"), slider("G", "BTN_ColorG"),
                      slider("B", "BTN_ColorB") }),
            grid(1, { slider("A", "BTN_SpecA"), slider("R", "BTN_SpecR"), slider("G", "BTN_SpecG"),
                      slider("B", "BTN_SpecB") }),
        }),
        slider("Gloss", "BTN_Gloss"),
    }, { label = "BTN_LayoutColors", hide = 1 })
end

-- ---- pose ----

local anims = {
    { "BTN_AnimIdleBreath", "Breathe" }, { "BTN_AnimCycleWalk", "Walk" }, { "BTN_AnimCycleQuadWalk", "Crawl" },
    { "BTN_AnimCycleQuadRun", "Run" }, { "BTN_AnimSplatToIdle", "Splat" }, { "BTN_AnimPush", "Push" },
    { "BTN_AnimPoseIdle", "Idle" }, { "BTN_AnimPosePointUpDown", "Up" },
    { "BTN_AnimPosePointDownUp", "Down" }, { "BTN_AnimPoseGunner", "Gunner" },
    { "BTN_AnimPoseHandsOnHips", "Hips" }, { "BTN_AnimPoseBird", "Bird" },
    { "BTN_AnimPoseTeapot", "Teapot" }, { "BTN_AnimPoseAngry", "Angry" }, { "BTN_AnimPoseAwake", "Awake" },
    { "BTN_AnimPoseConfused", "Puzzled" }, { "BTN_AnimPoseDetermind", "Firm" },
    { "BTN_AnimPoseDevious", "Devious" }, { "BTN_AnimPoseEmbarrassed", "Shy" },
    { "BTN_AnimPoseEnergetic", "Lively" }, { "BTN_AnimPoseEnthralled", "Rapt" },
    { "BTN_AnimPoseExcited", "Excited" }, { "BTN_AnimPoseHappy", "Happy" },
    { "BTN_AnimPoseIndescribable", "Odd" }, { "BTN_AnimPoseNerdy", "Nerdy" },
    { "BTN_AnimPoseOkay", "Okay" }, { "BTN_AnimPoseSad", "Sad" }, { "BTN_AnimPoseSleepy", "Sleepy" },
    { "BTN_AnimPoseScared", "Scared" }, { "BTN_AnimPoseThoughtful", "Pensive" },
    { "BTN_AnimPoseWorking", "Working" }, { "BTN_AnimPoseQuadIdle", "Fours" },
}

local function pose_page()
    local list = {}
    for i, a in ipairs(anims) do list[i] = btn(a[1], a[2], { group = "anims", selected = i == 1 }) end
    return grid(1, {
        grid(4, list),
        grid(3, {
            btn("BTN_ViewFront", "Front"), btn("BTN_ViewBack", "Back"), btn("BTN_ViewLeft", "Left"),
            btn("BTN_ViewRight", "Right"), btn("BTN_ViewRotateOn", "Turn"), btn("BTN_ViewRotateOff", "Stop"),
        }),
        grid(2, {
            slider("Turn", "BTN_RotY"), slider("Head", "BTN_HeadAspect"),
            slider("L eye", "BTN_LeftEyeSize"), slider("R eye", "BTN_RightEyeSize"),
            slider("L ear", "BTN_LeftEarSize"), slider("R ear", "BTN_RightEarSize"),
            slider("Nose", "BTN_NoseSize"),
        }),
    }, { label = "BTN_LayoutPose", hide = 1 })
end

-- ---- file ----

local function sizes()
    local list = {}
    for _, v in ipairs({ { "", "Plain" }, { "c", "Close" }, { "z", "Zoom" } }) do
        list[#list + 1] = { text = v[2], font = "comic", min_width = 70 }
        for _, n in ipairs({ 50, 64, 80, 100, 200 }) do
            list[#list + 1] = btn("BTN_SetSize" .. n .. "x" .. n .. v[1], tostring(n),
                                  { group = "sizes", selected = (n == 100 and v[1] == "") })
        end
    end
    return grid(6, list)
end

local function file_page()
    return grid(1, {
        grid(2, { btn("BTN_LoadSoul", "Load soul"), btn("BTN_SaveSoul", "Save soul") }),
        caption("Renders"),
        grid(3, { btn("BTN_SavePNG", "Sizes"), btn("BTN_SaveAnim", "Animation"), btn("BTN_SaveMoods", "Moods") }),
        caption("Mood render size"),
        sizes(),
        caption("Random souls"),
        grid(3, {
            btn("BTN_SelectSexBoy", "Boy", { group = "sex" }),
            btn("BTN_SelectSexGirl", "Girl", { group = "sex", selected = true }),
            btn("BTN_SelectSexAll", "Either", { group = "sex" }),
        }),
        grid(2, { btn("BTN_Randomize", "Randomize"), btn("BTN_RandomSave", "Render 128") }),
    }, { label = "BTN_LayoutFile", hide = 1 })
end

-- ---- the whole screen ----

zuzodida.gizmos.main = hud.alloc()
zuzodida.gizmos.main:build{
    limit_wide = 2,
    grid(1, {
        grid(4, {
            btn("BTN_SelectParts", "Parts", { group = "pages", target = "BTN_LayoutParts", selected = true }),
            btn("BTN_SelectColors", "Colours", { group = "pages", target = "BTN_LayoutColors" }),
            btn("BTN_SelectPose", "Pose", { group = "pages", target = "BTN_LayoutPose" }),
            btn("BTN_SelectFile", "File", { group = "pages", target = "BTN_LayoutFile" }),
        }),
        parts_page(), colours_page(), pose_page(), file_page(),
    }, { xalign = -1, yalign = -1 }),
    { label = "BTN_Avatar", style = "invisible", min_width = 320, min_height = 420 },
}
hud.display(zuzodida.gizmos.main)
