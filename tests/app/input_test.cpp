// Input: the device handlers (enumeration into kinds and numbers, the per-frame poll into
// the event list, the failures that skip a device or end the setup), the control state
// through KEYS, the name tables, the dispatch of raw events to the Lua handlers, and the
// installation's bindings.
#include <gtest/gtest.h>

#include <lua5.1/lua.hpp>

#include <cstring>
#include <filesystem>
#include <string>

#include "app/code/con.h"
#include "app/code/di_input.h"
#include "app/code/input.h"
#include "platform/dinput8.h"
#include "platform/plat_window.h"
#include "tests/app/shell_globals_fixture.h"
#include "tests/harness/harness.h"
#include "tests/harness/log_capture.h"
#include "tests/harness/lua_fixture.h"

namespace {

// r(...) joins any results as text, booleans as t and f.
const char* JOIN = "function r(...) local o = {} for i = 1, select('#', ...) do local v = select(i, ...) "
                   "o[i] = type(v) == 'boolean' and (v and 't' or 'f') or tostring(v) end "
                   "return table.concat(o, ',') end";

// A clean control state and event list, a Lua state with the input library (no
// local/lua/input.lua here: the tables stay empty), the devices reset, the log captured.
struct Input : ::testing::Test {
    lua_State* L = nullptr;
    shell_globals* saved = nullptr;
    void SetUp() override
    {
        saved = shell_globals_save();
        INPUT = input_state();
        input_events.count = 0;
        plat_di8_reset_for_tests();
        log_capture_start();
        L = luaL_newstate();
        luaL_openlibs(L);
        input_lua_setup(L);
        ASSERT_EQ(lua_gettop(L), 0);
        ASSERT_EQ(run(JOIN), "");
    }
    // A fresh Lua state whose input library runs the installation's input.lua.
    void use_installed_script()
    {
        std::filesystem::create_directories("local/lua");
        harness_write_file("local/lua/input.lua", harness_read_file(DORVALE_SOURCE_DIR "/local/lua/input.lua").c_str());
        lua_close(L);
        L = luaL_newstate();
        luaL_openlibs(L);
        input_lua_setup(L);
    }
    void TearDown() override
    {
        CON.L = nullptr;
        lua_close(L);
        di_input_clean(&DI_INPUT);
        log_capture_stop();
        plat_di8_reset_for_tests();
        shell_globals_restore(saved);
        saved = nullptr;
    }
    std::string run(const char* code) { return lua_fixture_run(L, code); }
    std::string eval(const char* expr) { return lua_fixture_eval(L, expr); }
    void event(int32_t device, int32_t kind, int32_t offset, int32_t data)
    {
        input_events.events[input_events.count++] = {device, kind, offset, data};
    }
    // The frame's events through the protected dispatch on the shell's state.
    bool dispatch()
    {
        CON.L = L;
        bool ok = input_dispatch();
        EXPECT_EQ(lua_gettop(L), 0);
        input_events.count = 0;
        return ok;
    }
    // The devices set up; the first poll only acquires, items queued after it are read by
    // the next.
    void start()
    {
        ASSERT_TRUE(di_input_setup(&DI_INPUT, GetDesktopWindow()));
        di_input_update(&DI_INPUT);
        ASSERT_EQ(input_events.count, 0);
    }
    // One poll of the devices, without Lua: the events it listed, each as "device,kind,offset,data ".
    std::string frame()
    {
        di_input_update(&DI_INPUT);
        std::string out;
        for (int32_t i = 0; i < input_events.count; i++) {
            const input_event& e = input_events.events[i];
            for (int32_t v : {e.device_key, e.kind_key, e.offset})
                out += std::to_string(v) + ",";
            out += std::to_string(e.data) + " ";
        }
        return out;
    }
};

} // namespace

// Keys are the device number within its kind plus the kind's base (joystick 0, mouse 8,
// keyboard 16); devices are polled in enumeration order (the first mouse and keyboard,
// then the added ones), each in its buffered order.
TEST_F(Input, EventsCarryDeviceAndKindKeysInEnumerationOrder)
{
    int32_t kb2 = plat_di8_add_test_device(DI8DEVTYPE_KEYBOARD, "Second keyboard");
    int32_t ctrl = plat_di8_add_test_device(DI8DEVTYPE_DEVICECTRL, "Control");
    int32_t pad = plat_di8_add_test_device(DI8DEVTYPE_GAMEPAD | 0x0100, "Pad");
    int32_t pointer = plat_di8_add_test_device(DI8DEVTYPE_SCREENPOINTER, "Pen");
    start();
    EXPECT_EQ(DI_INPUT.keyboards, 2);
    EXPECT_EQ(DI_INPUT.mice, 2);

    plat_di8_push_item(plat_di8_keyboard_source(), 30, 0x80);
    plat_di8_push_item(kb2, 1, 0x80);
    plat_di8_push_item(plat_di8_mouse_source(), 12, 0x80);
    plat_di8_push_item(plat_di8_keyboard_source(), 30, 0);
    plat_di8_push_item(ctrl, 1, 0x80); // never polled
    plat_di8_push_item(pad, 48, 0x80);
    plat_di8_push_item(pointer, 12, 0);
    std::string pad_key = std::to_string(DI_INPUT.joysticks); // the last joystick enumerated
    EXPECT_EQ(frame(), "9,8,12,128 17,16,30,128 17,16,30,0 18,16,1,128 " + pad_key + ",0,48,128 10,8,12,0 ");
    EXPECT_EQ(frame(), ""); // each item is listed once
}

// A device buffers 4096 items: of 4098 queued in one frame the last two are lost. The read
// that reports the overflow still hands over its item, nothing is logged, and each frame
// lists the next 256 in order, leaving the rest to the frames after.
TEST_F(Input, AnOverflowedBufferIsListedFromItsOldestItemOverBusyFrames)
{
    start();
    for (int i = 0; i < 4098; i++)
        plat_di8_push_item(plat_di8_keyboard_source(), 30, (DWORD)i);
    int32_t next = 0;
    for (int f = 0; f < 17; f++) {
        frame();
        EXPECT_EQ(input_events.count, f < 16 ? 256 : 0) << f;
        for (int32_t i = 0; i < input_events.count; i++)
            ASSERT_EQ(input_events.events[i].data, next++) << f;
    }
    EXPECT_EQ(LOGGED.error, "");
}

// A device whose handler fails is logged and skipped; a failure of the interface or the
// enumeration fails the setup, which cleans up (and clean is safe twice).
TEST_F(Input, DeviceFailures)
{
    // Each device call fails for the mouse, enumerated first; the keyboard still comes.
    const struct {
        plat_di8_call call;
        bool ok;
        const char* error;
    } cases[] = {{PLAT_DI8_FORMAT, true,
                  "Failed to set data format of input device.\nFailed to setup input device handler,\n"},
                 {PLAT_DI8_CREATE_DEVICE, true, "Failed to create input device.\n"},
                 {PLAT_DI8_COOP, true, "Failed to set coop level of input device.\n"},
                 {PLAT_DI8_PROPERTY, true, "Failed to set buffer of input device.\n"},
                 {PLAT_DI8_CREATE, false, "DirectInput8Create failed,\n"},
                 {PLAT_DI8_ENUM, false, "Failed to enumerate input devices.\n"}};
    for (auto& c : cases) {
        di_input_clean(&DI_INPUT);
        LOGGED.error.clear();
        plat_di8_fail_next(c.call, 1);
        EXPECT_EQ(di_input_setup(&DI_INPUT, GetDesktopWindow()), c.ok) << c.error;
        EXPECT_EQ(LOGGED.error.substr(0, strlen(c.error)), c.error);
        EXPECT_EQ(harness_list_count(&DI_INPUT.devices.live), c.ok ? 1 : 0) << "only the keyboard: " << c.error;
    }
    di_input_clean(&DI_INPUT);
    di_input_clean(&DI_INPUT);
    di_input_update(&DI_INPUT); // nothing to poll
    EXPECT_EQ(input_events.count, 0);
    start();
    ASSERT_TRUE(di_input_reset(&DI_INPUT));
    EXPECT_EQ(DI_INPUT.keyboards, 1);
    EXPECT_EQ(DI_INPUT.window, GetDesktopWindow());
}

// While the window is in the background the devices cannot be acquired and list nothing;
// items buffered meanwhile are gone once it is back, and only later ones are listed.
TEST_F(Input, NoEventsWhileTheWindowIsInTheBackground)
{
    start();
    plat_di8_push_item(plat_di8_keyboard_source(), 30, 0x80);
    plat_di8_set_foreground(FALSE);
    plat_di8_push_item(plat_di8_keyboard_source(), 31, 0x80);
    EXPECT_EQ(frame(), "");
    plat_di8_set_foreground(TRUE);
    EXPECT_EQ(frame(), ""); // acquired again this frame; the earlier items are gone
    plat_di8_push_item(plat_di8_keyboard_source(), 32, 0x80);
    EXPECT_EQ(frame(), "17,16,32,128 ");
}

// The name tables map both ways (144 key, 164 joystick and 11 mouse names; samples from
// each list), input[0] to input[23] are tables and nothing past them, and KEYS holds its
// 48 functions: nine for each of p1_ to p4_ and the unprefixed block, then click, grab and
// menu (9 x 5 + 3).
TEST_F(Input, NameTablesMapBothWaysAndKeysHoldsItsFunctions)
{
    ASSERT_EQ(run("function names(t) local n = 0 for k in pairs(input[t]) do "
                  "if type(k) == 'string' then n = n + 1 end end return n end"),
              "");
    const struct {
        const char* expr;
        const char* want;
    } cases[] = {
        {"names('key_names'), names('joy_names'), names('mouse_names')", "144,164,11"},
        {"input.key_names.ESCAPE, input.key_names[200], input.key_names.NUMPADENTER", "1,UP,156"},
        {"input.key_names[1], input.key_names['1'], input.key_names[237]", "ESCAPE,2,MEDIASELECT"},
        {"input.joy_names.B127, input.joy_names[175], input.joy_names.POV3", "175,B127,44"},
        {"input.joy_names.FS1, input.joy_names[176], input.joy_names.ARX", "268,VX,220"},
        {"input.mouse_names[19], input.mouse_names.Z, input.mouse_names.B1", "B7,8,13"},
        {"(function() for k = 0, 23 do if type(input[k]) ~= 'table' then return k end end return 'all' end)()",
         "all"},
        {"input[24]", "nil"},
        {"(function() local n = 0 for _, v in pairs(KEYS) do n = n + (type(v) == 'function' and 1 or 0) end "
         "return n end)()",
         "48"},
        {"type(KEYS.p3_inout), type(KEYS.p4_out), type(KEYS.out), type(KEYS.p5_left)",
         "function,function,function,nil"},
    };
    for (auto& c : cases)
        EXPECT_EQ(eval((std::string("r(") + c.expr + ")").c_str()), c.want) << c.expr;

    // Every key the devices can report has a name.
    for (int sc = 0; sc < 512; sc++) {
        DWORD dik = plat_di8_dik_from_scancode(sc);
        if (dik) {
            EXPECT_EQ(eval(("type(input.key_names[" + std::to_string(dik) + "])").c_str()), "string") << dik;
        }
    }
}

// One frame of calls, in order, each result worked from the rules: a change of held sets
// pressed (down) or released (up), and both edges stay set until the frame loop clears them;
// an axis presses the direction of its sign and releases the other; values truncate towards
// zero, saturate at 32 bits, NaN is 0; no value, nil, a table or a non-numeric text only
// report the state. Buttons answer held, pressed, released.
TEST_F(Input, KeysCallsWorkedOneAfterAnother)
{
    const struct {
        const char* call;
        const char* want;
    } steps[] = {
        {"KEYS.p1_leftright(-1)", "-1"}, {"KEYS.p1_left()", "t,t,f"}, {"KEYS.p1_right()", "f,f,f"},
        {"KEYS.p1_leftright(1)", "1"}, {"KEYS.p1_left()", "f,t,t"}, {"KEYS.p1_right()", "t,t,f"},
        {"KEYS.p1_leftright(0)", "0"}, {"KEYS.p1_right()", "f,t,t"},
        {"KEYS.p2_left()", "f,f,f"}, {"KEYS.left()", "f,f,f"}, // other blocks untouched
        {"KEYS.updown(-3)", "-3"}, {"KEYS.updown(-0.5)", "0"}, {"KEYS.up()", "f,t,t"}, {"KEYS.inout()", "0"},
        {"KEYS.click(0x80)", "t,t,f"}, {"KEYS.click(0x80)", "t,t,f"}, {"KEYS.click(0)", "f,t,t"},
        {"KEYS.click(0/0)", "f,t,t"}, {"KEYS.p2_up(true)", "t,t,f"}, {"KEYS.p2_up(false)", "f,t,t"},
        // All but the last call of a list give their first result only.
        {"KEYS.p2_up(), KEYS.p2_up(nil), KEYS.p2_up({}), KEYS.p2_up('down')", "f,f,f,f,t,t"},
        {"KEYS.p2_up('128')", "t,t,t"}, {"KEYS.leftright(1e300)", "2147483647"},
        {"KEYS.leftright(-1/0)", "-2147483648"}, {"KEYS.leftright(0/0)", "0"}, {"KEYS.left()", "f,t,t"},
        {"KEYS['in'](1), KEYS.p4_out(1), KEYS.grab(1), KEYS.menu(1)", "t,t,t,t,t,f"},
    };
    for (auto& s : steps)
        EXPECT_EQ(eval((std::string("r(") + s.call + ")").c_str()), s.want) << s.call;
    // The calls wrote the blocks native code reads.
    EXPECT_EQ(INPUT.players[0].right.released + INPUT.players[0].left.held, 1);
    EXPECT_EQ(INPUT.players[4].leftright, 0);
    EXPECT_TRUE(INPUT.players[1].up.held && INPUT.players[4].in.held && INPUT.players[3].out.held);
    EXPECT_TRUE(INPUT.grab.held && INPUT.menu.held && INPUT.click.released && !INPUT.click.held);
}

// The device's own handler comes first, then its kind's; any other value in the device's
// table means no handler at all. A handler's error ends this frame's dispatch only; tables
// replaced by scripts with something else mean no handler, never an error.
TEST_F(Input, DeviceHandlerFirstThenKindAndAnErrorEndsOnlyThisFrame)
{
    run("log = {} function add(text) log[#log + 1] = text end"
        " input[8][12] = function(v) add('kind' .. v) end"
        " input[9][12] = 5"
        " input[8][13] = function(v) add('kind13:' .. v) end"
        " input[10][12] = function(v) add('dev' .. v) end"
        " input[8][1] = function(v) error('boom') end");
    event(10, 8, 12, 0);
    EXPECT_FALSE(input_dispatch()); // no Lua environment: nothing runs
    input_events.count = 0;
    event(9, 8, 12, 128);  // a number in the device table
    event(9, 8, 13, -1);   // no entry in the device table: the kind's handler
    event(10, 8, 12, 0);   // the device's own handler
    event(30, 8, 12, 7);   // a key without a table: the kind's handler
    EXPECT_TRUE(dispatch());
    event(10, 8, 12, 1);
    event(9, 8, 1, 0x80);  // raises
    event(10, 8, 12, 2);
    EXPECT_FALSE(dispatch());
    event(10, 8, 12, 3);
    EXPECT_TRUE(dispatch());
    EXPECT_EQ(eval("table.concat(log, ' ')"), "kind13:-1 dev0 kind7 dev1 dev3");

    run("input[16] = 'nope'");
    event(17, 16, 1, 1);
    EXPECT_TRUE(dispatch());
    run("input = nil");
    event(17, 16, 1, 1);
    EXPECT_TRUE(dispatch());
}

// The installation's bindings: the left button clicks, the right one is the menu button,
// the middle one grabs; Escape is left to the window, so it presses nothing here.
TEST_F(Input, InstallationBindingsReachKeys)
{
    use_installed_script();
    event(9, 8, 12, 0x80);    // first mouse, left button
    event(9, 8, 13, 0x80);    // right button
    event(9, 8, 14, 0x80);    // middle button
    event(17, 16, 200, 0x80); // Up
    ASSERT_TRUE(dispatch());
    EXPECT_TRUE(INPUT.click.pressed && INPUT.grab.pressed && INPUT.menu.pressed && INPUT.players[4].up.pressed);
    event(9, 8, 13, 0);
    event(17, 16, 1, 0x80); // Escape
    ASSERT_TRUE(dispatch());
    EXPECT_FALSE(INPUT.menu.held);
}

// The installation's joystick and zoom bindings. Joystick events (device key 1) find the
// handlers of every joystick in input[0]; the script maps an axis v to (v - 32768) / 16384:
// 0 gives -2 (left held), 40000 gives 0.44, truncated to 0 (both released), 32768 gives 0.
// Page Up zooms in, Page Down out.
TEST_F(Input, InstallationJoystickAxesAndZoomKeys)
{
    use_installed_script();
    const input_player& p = INPUT.players[4];
    const struct {
        input_event e;
        const char* want; // leftright, left held, left released, in held, out held
    } cases[] = {
        {{1, 0, 0, 0}, "-2 1 0 0 0"},           // X fully left
        {{1, 0, 0, 40000}, "0 0 1 0 0"},        // inside the dead quarter
        {{1, 0, 0, 0}, "-2 1 1 0 0"},           // left again (released stays until the frame ends)
        {{1, 0, 0, 32768}, "0 0 1 0 0"},        // centred
        {{17, 16, 201, 0x80}, "0 0 1 1 0"},     // Page Up
        {{17, 16, 209, 0x80}, "0 0 1 1 1"},     // Page Down
    };
    for (auto& c : cases) {
        event(c.e.device_key, c.e.kind_key, c.e.offset, c.e.data);
        ASSERT_TRUE(dispatch());
        std::string got = std::to_string(p.leftright);
        for (int v : {p.left.held, p.left.released, p.in.held, p.out.held})
            got += " " + std::to_string(v);
        EXPECT_EQ(got, c.want) << c.e.data;
    }
}
