-- The basic structor levels. Each level's start builds its items: the picture of the cells
-- first (so it lies under everything), stone ramps stamped into the cells as walls, and a
-- few balls that roll down them and float on the liquid pouring in at the top left.

structor.levels = {}

-- Without its cut map (the file missing, empty or damaged) a ramp stays a bare brush, the
-- error log names the file, and the rest of the level is built. A missing or empty file
-- loads as a cut map without layers, which the brush takes without a word, so it is looked
-- at here first.
local function ramps(x, y, size)
    local brush = structor.add("brush", x, y, size)
    local file = structor.dir_data() .. "ramps.xml"
    local f = io.open(file, "rb")
    local text = f and f:read("*a")
    if f then f:close() end
    if not text or text == "" then
        _ALERT("No ramps from " .. file .. ": the file is missing or empty\n")
        return brush
    end
    local ok, why = pcall(function() brush.setcmp(cmps.alloc(file).steal_ptr()) end)
    if not ok then _ALERT("No ramps from " .. file .. ": " .. tostring(why) .. "\n") end
    return brush
end

local function balls(list)
    for _, b in ipairs(list) do structor.add("aball", b[1], b[2], b[3] or 32) end
end

structor.levels[1] = {
    start = function(level)
        structor.add("cells")
        ramps(-290, 64, 384)
        ramps(220, -56, 384)
        balls{ { -400, 200 }, { -250, 230 }, { 100, 220 }, { 300, 200, 48 } }
        structor.rebuildcells_request(true)
    end,
}

structor.levels[2] = {
    start = function(level)
        structor.add("cells")
        ramps(-290, 64, 384)
        balls{ { -400, 200 }, { -350, 230 }, { -300, 200 }, { -250, 230 } }
        structor.rebuildcells_request(true)
    end,
}

structor.levels[3] = {
    start = function(level)
        structor.add("cells")
        ramps(-100, 0, 480)
        balls{ { -200, 220, 64 }, { 0, 230, 24 } }
        structor.rebuildcells_request(true)
    end,
}
