-- Shared pieces of the maze levels: the player's keys, a walker mind that moves a character
-- one cell at a time, collectable fires, and the end-of-level choice.

-- W, A, S, D walk (the arrows turn the camera). The state of the keys is kept here, since
-- the game's own input state is not readable from scripts.
amaze_pad = amaze_pad or { up = false, down = false, left = false, right = false }
do
    local K = input.key_names
    local function bind(key, dir, fn)
        input[16][K[key]] = function(v) amaze_pad[dir] = v ~= 0 fn(v) end
    end
    bind("W", "up", KEYS.p1_up)
    bind("S", "down", KEYS.p1_down)
    bind("A", "left", KEYS.p1_left)
    bind("D", "right", KEYS.p1_right)
end

-- The level sounds (silent handles when sound is off or a file is missing).
amaze.sounds = {
    pickup = sfx.load(amaze.dir_data() .. "sfx/pickup.wav"),
    push = sfx.load(amaze.dir_data() .. "sfx/push.wav"),
}

-- The cell step the pad asks for, turned with the camera; nil when no key is held.
function amaze.pad_step()
    local ux, uz, rx, rz = amaze.getview_uprt()
    local dx, dz = 0, 0
    if amaze_pad.up then dx, dz = dx + ux, dz + uz end
    if amaze_pad.down then dx, dz = dx - ux, dz - uz end
    if amaze_pad.right then dx, dz = dx + rx, dz + rz end
    if amaze_pad.left then dx, dz = dx - rx, dz - rz end
    if dx ~= 0 and dz ~= 0 then dz = 0 end
    if dx == 0 and dz == 0 then return nil end
    -- World z falls with the cell row.
    return dx, -dz
end

local SPEED = 2.5 -- cells a second
local WALK, IDLE = 9, 8 -- shared animations

-- True while a solid item is still on its way out of cell (x, y). An item takes the cell it
-- moves to as its own when the move starts (a clod 600 ms before it gets there), so the cell
-- it leaves looks free while the item still stands half in it: a walker stepping in would
-- walk into it. Such an item is on a neighbouring cell, moving away from (x, y).
local STEPS = { { 1, 0 }, { -1, 0 }, { 0, 1 }, { 0, -1 } }
local function being_left(x, y)
    for _, d in ipairs(STEPS) do
        local ok, items = pcall(amaze.getcell_contents, x + d[1], y + d[2])
        for _, item in ipairs(ok and items or {}) do
            local vx, _, vz = item:vel()
            -- World z falls with the cell row.
            if item:solid() and (vx * d[1] > 0 or -vz * d[2] > 0) then return true end
        end
    end
    return false
end

-- A mind that walks item T to the cells that choose(T) names, one at a time, at speed cells
-- a second (2.5 when not given); a clod in the way is pushed, anything else solid stops the
-- step, and so does an item still moving out of the cell (a clod pushed a moment ago).
-- on_cell(T) runs on every arrival.
function amaze.walker(choose, on_cell, speed)
    speed = speed or SPEED
    local ticks = math.floor(10 / speed + 0.5)
    return function(T)
        local x, y = T:snapcell()
        T.cx, T.cy = x, y -- the cell it stands on or walks to, for other minds to read
        while true do
            local dx, dy = choose(T)
            if dx then
                T:aim_yrot(math.atan2(dx, dy), 8)
                local tx, ty = x + dx, y + dy
                local ok, blocker = pcall(amaze.cell_find_solid, tx, ty)
                if ok and blocker and blocker:pushable() then
                    if blocker:push(dx, dy) then blocker:play(amaze.sounds.push, 1, 1) end
                    T.tweens[1] = { blend = 1, frame = 0, ID = 7 }
                elseif ok and not blocker and not being_left(tx, ty) then
                    T:vel(dx * 10 / ticks, 0, -dy * 10 / ticks)
                    T:placecell(tx, ty)
                    T.cx, T.cy = tx, ty
                    T.tweens[1] = { blend = 1, frame = 0, ID = WALK }
                    for i = 1, ticks do coroutine.yield() end
                    T:vel(0, 0, 0)
                    T:setcell(tx, ty, 0)
                    x, y = tx, ty
                    if on_cell then on_cell(T, x, y) end
                end
            else
                T.tweens[1] = { blend = 1, frame = 0, ID = IDLE }
            end
            coroutine.yield()
        end
    end
end

-- A body that plays the first tween's animation in a loop.
function amaze.animator(T)
    while true do
        local t = T.tweens[1]
        if t then t.frame = (t.frame or 0) + amaze.body_step() * 30 end
        coroutine.yield()
    end
end

-- A character standing on (x, y) with the soul given.
function amaze.character(kind, soul, x, y)
    local T = amaze.alloc_item(kind)
    T:setsoul(soul)
    T:setcell(x, y, 0)
    T:solid(true)
    T.tweens = { { blend = 1, frame = 0, ID = IDLE } }
    T:setbody(amaze.animator, "T")
    return T
end

-- A fire to collect on (x, y).
function amaze.fire(x, y)
    local F = amaze.alloc_item("base")
    F:setxox("objects/xox/solid_fire.xox")
    F:setcell(x, y, 0.6)
    F:setbob(math.random(), 0.4)
    F.fire = true
    return F
end

-- Collects every fire on the cell for T; returns how many are left in the level.
function amaze.collect(T, x, y, level)
    for _, item in ipairs(amaze.getcell_contents(x, y)) do
        if item.fire then
            item:swish()
            T:play(amaze.sounds.pickup, 1, 1)
            item:free()
            T:score(T:score() + 1)
            level.fires = level.fires - 1
        end
    end
    return level.fires
end

-- The end of a level: a message, the game paused and the choice of what next.
function amaze.finish(level, text, won)
    amaze.pause_request(true)
    local n = opt.next_number()
    local buttons = { label = "AMAZE_Choice", limit_wide = 1, xalign = 0, yalign = 0,
        { text = text } }
    local function btn(name, caption, lua)
        buttons[#buttons + 1] = { button = name, lua = lua, min_width = 160, { text = caption } }
    end
    if won and amaze.levels[n + 1] then
        btn("MENU_ChoiceNext", "Next level", "opt.next_number(" .. (n + 1) .. ") opt.next_state('main_state_amaze')")
    end
    btn("MENU_ChoiceRetry", "Try again", "opt.next_state('main_state_amaze')")
    btn("MENU_ChoiceExit", "Back to the menu", "opt.next_state('main_state_menu')")
    level.choice = hud.alloc()
    level.choice:build(buttons)
    level.choice:display()
end

-- A level: a map, fires, a player; finished when every fire is collected (and, with a
-- time limit, lost when the clock runs out).
function amaze.level(def)
    return {
        start = function(level)
            -- The tune loops for the whole level (the state stops it when it ends); without
            -- sound, or without the file, the level plays in silence.
            sfx.stream("data/music/tune.ogg")
            amaze.loadhmap(def.map)
            amaze.time_init(def.time or 0)
            level.fires = 0
            for _, f in ipairs(def.fires) do
                amaze.fire(f[1], f[2])
                level.fires = level.fires + 1
            end
            for _, b in ipairs(def.blocks or {}) do
                local C = amaze.alloc_item("clod")
                C:setxox("amaze/xox/block.xox")
                C:setcell(b[1], b[2], 0)
                C:solid(true)
                C:rolls(b[3] or "")
            end
            for _, w in ipairs(def.walls or {}) do
                local W = amaze.alloc_item("base")
                W:setxox("amaze/xox/wall.xox")
                W:setcell(w[1], w[2], 0.5)
                W:solid(true)
            end
            local P = amaze.character("protagonist", "me", def.start[1], def.start[2])
            P:score_init(0)
            P:setmind(amaze.walker(function() return amaze.pad_step() end,
                function(T, x, y) amaze.collect(T, x, y, level) end), "T")
            for _, a in ipairs(def.chasers or {}) do
                local A = amaze.character("antagonist", "tovin", a[1], a[2])
                A:setmind(amaze.walker(function(T)
                    if math.random() < 0.5 then return nil end
                    if not (P.cx and T.cx) then return nil end
                    local px, py, ax, ay = P.cx, P.cy, T.cx, T.cy
                    if px ~= ax then return px > ax and 1 or -1, 0 end
                    if py ~= ay then return 0, py > ay and 1 or -1 end
                end, nil, def.chaser_speed), "T")
                level.chasers = level.chasers or {}
                level.chasers[#level.chasers + 1] = A
            end
            P:say(def.hello or "Collect the fires!")
            local D = amaze.alloc_item("director")
            D:setmind(function()
                while true do
                    if level.fires == 0 then
                        amaze.finish(level, "Well done!", true)
                        return
                    end
                    if def.time and amaze.time() <= 2 then
                        amaze.finish(level, "Out of time.", false)
                        return
                    end
                    -- A chaser next to the player (cells are solid, so never on it) catches.
                    for _, A in ipairs(level.chasers or {}) do
                        if P.cx and A.cx and math.abs(A.cx - P.cx) + math.abs(A.cy - P.cy) <= 1 then
                            P:say("Caught!")
                            amaze.finish(level, "Caught!", false)
                            return
                        end
                    end
                    coroutine.yield()
                end
            end, "T")
        end,
    }
end
