-- The basic levels: collect every fire. The second adds blocks to push out of the way, the
-- third a chaser and a time limit.
amaze.levels = {
    amaze.level{
        map = "amaze/basic/map1.png",
        start = { 8, 8 },
        fires = { { 3, 3 }, { 12, 4 }, { 5, 12 }, { 13, 13 } },
        hello = "Walk with W A S D!",
    },
    amaze.level{
        map = "amaze/basic/map2.png",
        start = { 2, 10 },
        fires = { { 20, 10 }, { 12, 4 }, { 8, 15 } },
        blocks = { { 6, 10, "XY" }, { 14, 10, "XY" }, { 10, 9 } },
        hello = "Push the blocks aside.",
    },
    amaze.level{
        map = "amaze/basic/map3.png",
        start = { 2, 2 },
        time = 900,
        fires = { { 16, 4 }, { 4, 16 }, { 10, 10 }, { 17, 17 } },
        chasers = { { 17, 2 } },
        hello = "Quick, before it catches you!",
    },
}
