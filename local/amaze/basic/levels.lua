-- The basic levels: collect every fire. The second adds blocks to push out of the way, the
-- third a chaser and a time limit.
amaze.levels = {
    amaze.level{
        map = "amaze/basic/map1.png",
        start = { 8, 8 },
        fires = { { 5, 6 }, { 11, 6 }, { 6, 10 }, { 11, 11 } },
        hello = "Walk with W A S D!",
    },
    amaze.level{
        map = "amaze/basic/map2.png",
        start = { 4, 10 },
        fires = { { 18, 10 }, { 9, 14 }, { 12, 0 } },
        -- The last fire sits in a nook of walls at the map's edge behind a block, which can
        -- only be pushed aside (the wall below keeps it from being pushed onto the fire).
        -- The blocks in the valley do not roll: its two middle rows slope towards each other,
        -- so a rolling block would rock between them for ever, never still to be pushed, and
        -- a walker could pass it only by walking into it.
        blocks = { { 7, 10 }, { 14, 10 }, { 12, 1 } },
        walls = { { 11, 0 }, { 13, 0 }, { 12, 2 } },
        hello = "Push the blocks aside.",
    },
    amaze.level{
        map = "amaze/basic/map3.png",
        start = { 5, 5 },
        time = 600,
        fires = { { 16, 8 }, { 6, 14 }, { 10, 10 }, { 14, 14 } },
        -- The chaser walks slower than the player (2.5 cells a second), so it can be led
        -- away from the fire it starts beside.
        chasers = { { 15, 4 } },
        chaser_speed = 1.5,
        hello = "Quick, before it catches you!",
    },
}
