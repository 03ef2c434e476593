-- Script of the structor library: runs each time the structor starts, before the level
-- script. Builds the mode buttons along the top of the screen and answers the mouse reports
-- of edit mode: a picked item follows the pointer while the left button is held, and the
-- right button drops a new ball under the pointer.

structor.gizmos = {}

local function btn(name, caption, lua)
    return { button = name, lua = lua, min_width = 90, { text = caption } }
end

structor.gizmos.main = hud.alloc()
structor.gizmos.main:build{
    { label = "MENU_ModeBEGIN", limit_wide = 5, xalign = 0, yalign = -1,
        btn("MENU_ModeEdit", "Edit", "structor.edit()"),
        btn("MENU_ModeRun", "Run", "structor.run()"),
        btn("MENU_ModeStop", "Stop", "structor.pause_request(true)"),
        btn("MENU_ModeReset", "Reset", "structor.reset_request(true)"),
    },
}
hud.display(structor.gizmos.main)

-- Edit mode starts from the level as it was built: everything back in place and still.
function structor.edit()
    structor.reset_request(true)
    structor.pause_request(true)
    structor.edit_request(true)
end

function structor.run()
    structor.edit_request(false)
    structor.pause_request(false)
end

-- A new item kept by the level; kind is "aball", "brush" or "cells".
function structor.add(kind, x, y, size)
    local it = structor_items.alloc(kind)
    if x then it.setpos(x, y) end
    if size then it.setsiz(size) end
    it.setinitial()
    table.insert(structor.items, it)
    return it
end

local drag = nil

function structor.menu_action(what)
    local px, py = structor.pointer()
    if what == "mouse_click_on" then
        local it = structor_items.get("selected")
        if it then
            local x, y = it.initialpos()
            drag = { item = it, dx = x - px, dy = y - py }
        end
    elseif what == "mouse_click_state" then
        if drag then drag.item.setpos(px + drag.dx, py + drag.dy) end
    elseif what == "mouse_click_off" then
        if drag then
            drag.item.setpos(px + drag.dx, py + drag.dy)
            drag.item.setinitial()
            drag = nil
            structor.rebuildcells_request(true)
        end
    elseif what == "mouse_menu_on" then
        structor.add("aball", px, py, 32)
    end
end
