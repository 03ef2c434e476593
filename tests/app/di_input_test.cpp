// Device handlers: enumeration into kinds and numbers, the per-frame poll into the event
// list, and the failures that skip a device or end the setup.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/code/di_input.h"
#include "engine/code/dbg.h"
#include "platform/plat_window.h"
#include "tests/harness/log_capture.h"

// Found by the library's comparisons only outside the anonymous namespace.
static bool operator==(const input_event& a, const input_event& b)
{
    return a.device_key == b.device_key && a.kind_key == b.kind_key && a.offset == b.offset && a.data == b.data;
}
static std::ostream& operator<<(std::ostream& o, const input_event& e)
{
    return o << "{" << e.device_key << "," << e.kind_key << "," << e.offset << "," << e.data << "}";
}

namespace {

struct DiInput : ::testing::Test {
    void SetUp() override
    {
        plat_di8_reset_for_tests();
        log_capture_start();
    }
    void TearDown() override
    {
        di_input_clean(&DI_INPUT);
        log_capture_stop();
        plat_di8_reset_for_tests();
    }
    // The first poll only acquires; items queued after it are read by the next.
    void start()
    {
        ASSERT_TRUE(di_input_setup(&DI_INPUT, GetDesktopWindow()));
        di_input_update(&DI_INPUT);
        ASSERT_EQ(input_events.count, 0);
    }
    std::vector<input_event> frame()
    {
        di_input_update(&DI_INPUT);
        return std::vector<input_event>(input_events.events, input_events.events + input_events.count);
    }
    di_device* device(int kind, int number)
    {
        for (list_node* n = list_first(&DI_INPUT.devices.live); n->next; n = n->next) {
            di_device* d = (di_device*)n;
            if (d->kind == kind && d->number == number)
                return d;
        }
        return nullptr;
    }
};

} // namespace

// Keys are the device number within its kind plus the kind's base (joystick 0, mouse 8,
// keyboard 16); devices are polled in enumeration order (the first mouse and keyboard,
// then the added ones), each in its buffered order.
TEST_F(DiInput, EventsCarryDeviceAndKindKeysInEnumerationOrder)
{
    int32_t kb2 = plat_di8_add_test_device(DI8DEVTYPE_KEYBOARD, "Second keyboard");
    int32_t ctrl = plat_di8_add_test_device(DI8DEVTYPE_DEVICECTRL, "Control");
    int32_t pad = plat_di8_add_test_device(DI8DEVTYPE_GAMEPAD | 0x0100, "Pad");
    int32_t pointer = plat_di8_add_test_device(DI8DEVTYPE_SCREENPOINTER, "Pen");
    start();
    EXPECT_EQ(DI_INPUT.keyboards, 2);
    EXPECT_EQ(DI_INPUT.mice, 2);
    ASSERT_TRUE(device(DI_KIND_KEYBOARD, 2));
    EXPECT_STREQ(device(DI_KIND_KEYBOARD, 2)->instance.tszProductName, "Second keyboard");
    ASSERT_TRUE(device(DI_KIND_NONE, 0));
    EXPECT_STREQ(device(DI_KIND_NONE, 0)->instance.tszInstanceName, "Control");

    plat_di8_push_item(plat_di8_keyboard_source(), 30, 0x80);
    plat_di8_push_item(kb2, 1, 0x80);
    plat_di8_push_item(plat_di8_mouse_source(), 12, 0x80);
    plat_di8_push_item(plat_di8_keyboard_source(), 30, 0);
    plat_di8_push_item(ctrl, 1, 0x80); // never polled
    plat_di8_push_item(pad, 48, 0x80);
    plat_di8_push_item(pointer, 12, 0);
    int32_t pad_number = device(DI_KIND_JOYSTICK, DI_INPUT.joysticks)->number;
    std::vector<input_event> want = {{9, 8, 12, 0x80},  {17, 16, 30, 0x80},        {17, 16, 30, 0},
                                     {18, 16, 1, 0x80}, {pad_number, 0, 48, 0x80}, {10, 8, 12, 0}};
    EXPECT_EQ(frame(), want);
    EXPECT_TRUE(frame().empty()); // each item is listed once
}

TEST_F(DiInput, ABusyFrameLeavesTheRestForTheNextFrame)
{
    start();
    for (int i = 0; i < 300; i++)
        plat_di8_push_item(plat_di8_keyboard_source(), 30, i % 2 ? 0 : 0x80);
    auto first = frame();
    ASSERT_EQ(first.size(), 256u);
    auto second = frame();
    ASSERT_EQ(second.size(), 44u);
    EXPECT_EQ(second.back().data, 0); // the final release is not lost
}

TEST_F(DiInput, NoEventsWhileTheWindowIsInTheBackground)
{
    start();
    plat_di8_push_item(plat_di8_keyboard_source(), 30, 0x80);
    plat_di8_set_foreground(FALSE);
    plat_di8_push_item(plat_di8_keyboard_source(), 31, 0x80);
    EXPECT_TRUE(frame().empty());
    plat_di8_set_foreground(TRUE);
    EXPECT_TRUE(frame().empty()); // re-acquired this frame; earlier items are gone
    plat_di8_push_item(plat_di8_keyboard_source(), 32, 0x80);
    auto ev = frame();
    ASSERT_EQ(ev.size(), 1u);
    EXPECT_EQ(ev[0].offset, 32);
}

TEST_F(DiInput, AFailingDeviceIsLoggedAndSkipped)
{
    plat_di8_fail_next(PLAT_DI8_FORMAT, 1); // the mouse, enumerated first
    start();
    EXPECT_EQ(LOGGED.error, "Failed to set data format of input device.\nFailed to setup input device handler,\n");
    EXPECT_EQ(DI_INPUT.mice, 1); // raised before the format was refused
    EXPECT_FALSE(device(DI_KIND_MOUSE, 1));
    ASSERT_TRUE(device(DI_KIND_KEYBOARD, 1));
    plat_di8_push_item(plat_di8_keyboard_source(), 2, 0x80);
    EXPECT_EQ(frame().size(), 1u);

    for (plat_di8_call call : {PLAT_DI8_CREATE_DEVICE, PLAT_DI8_COOP, PLAT_DI8_PROPERTY}) {
        di_input_clean(&DI_INPUT);
        LOGGED.error.clear();
        plat_di8_fail_next(call, 1);
        ASSERT_TRUE(di_input_setup(&DI_INPUT, GetDesktopWindow()));
        EXPECT_NE(LOGGED.error.find("input device"), std::string::npos) << call;
        EXPECT_TRUE(device(DI_KIND_KEYBOARD, 1)) << call;
    }
}

TEST_F(DiInput, SetupFailuresCleanUpAndCleanIsSafeTwice)
{
    const struct {
        plat_di8_call call;
        const char* error;
    } cases[] = {{PLAT_DI8_CREATE, "DirectInput8Create failed,\n"},
                 {PLAT_DI8_ENUM, "Failed to enumerate input devices.\n"}};
    for (auto& c : cases) {
        LOGGED.error.clear();
        plat_di8_fail_next(c.call, 1);
        EXPECT_FALSE(di_input_setup(&DI_INPUT, GetDesktopWindow()));
        EXPECT_EQ(LOGGED.error, c.error);
        EXPECT_EQ(DI_INPUT.di, nullptr);
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
