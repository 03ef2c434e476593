-- Script of the menu library: builds the Escape menu once and the main menu at every menu
-- setup, each while the menu state's records are current, so every button and panel below
-- is linked by name to its record. Captions are child text gizmos: a text key on a button would make it text.

menu.gizmos = {}

local function btn(name, caption, lua)
    return { button = name, lua = lua, min_width = 160, { text = caption } }
end

-- One column of buttons, centred on the screen.
local function panel(label, hidden, ...)
    local t = { label = label, limit_wide = 1, xalign = 0, yalign = 0 }
    if hidden then t.hide = 1 end
    for i, child in ipairs({ ... }) do t[i] = child end
    return t
end

local function amaze_level(n)
    return btn("AMAZE_Level" .. n, "Level " .. n,
        'opt.next_level("basic") opt.next_number(' .. n .. ') opt.next_state("main_state_amaze")')
end

-- The main tree, built anew at every menu setup so that it opens on its first page
-- whichever page was shown when the menu was left.
local function main_tree()
    return {
        panel("MENU_LayoutMain", false,
            btn("MENU_StartAvatarEditor", "Avatar editor"),
            btn("MENU_StartLevelTest", "Structor"),
            btn("MENU_StartAmaze", "Amaze"),
            btn("MENU_Options", "Options"),
            btn("MENU_Quit", "Quit")),
        panel("MENU_LayoutContinueQuit", true,
            btn("MENU_Continue", "Continue"),
            btn("MENU_Quit", "Quit")),
        panel("MENU_LayoutOptions", true,
            btn("MENU_ShowDebug", "Console on/off", "opt.show_debug(not opt.show_debug())"),
            btn("MENU_Lang", "Language"),
            btn("MENU_MainMenu", "Back")),
        panel("MENU_LayoutLang", true,
            btn("MENU_LangEnglish", "English", 'opt.lang("en-uk") opt.lang_alt("en")'),
            btn("MENU_Options", "Back")),
        panel("MENU_LayoutAmazeBasic", true,
            amaze_level(1),
            amaze_level(2),
            amaze_level(3),
            btn("MENU_MainMenu", "Back")),
    }
end

menu.gizmos.main = hud.alloc()

-- The Escape menu of every state.
menu.gizmos.pause = hud.alloc()
menu.gizmos.pause:build{
    panel("MENU_Pause", false,
        btn("MENU_Continue", "Continue"),
        btn("MENU_Restart", "Restart"),
        btn("MENU_MainMenu", "Main menu"),
        btn("MENU_Quit", "Quit")),
}

-- Runs at every menu setup (the menu state's records are current): shows the main menu on
-- its first page.
function menu.refresh()
    menu.gizmos.main:build(main_tree())
    hud.display(menu.gizmos.main)
end
