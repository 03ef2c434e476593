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
        fires = { { 18, 10 }, { 12, 6 }, { 9, 14 } },
        blocks = { { 7, 10, "XY" }, { 14, 10, "XY" }, { 10, 9 } },
        hello = "Push the blocks aside.",
    },
    amaze.level{
        map = "amaze/basic/map3.png",
        start = { 5, 5 },
        time = 900,
        fires = { { 14, 6 }, { 6, 14 }, { 10, 10 }, { 14, 14 } },
        chasers = { { 15, 4 } },
        hello = "Quick, before it catches you!",
    },
}
