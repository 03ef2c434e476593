-- Input bindings: each handler receives the raw value of one device control and reports
-- what it means through KEYS. input[8], input[16] and input[0] hold the handlers for every
-- mouse, keyboard and joystick; input[9], input[17], input[1] and on would hold those of
-- one particular device and take precedence.

local K, M, J = input.key_names, input.mouse_names, input.joy_names

local function bind(kind, offset, fn)
    input[kind][offset] = fn
end

-- Mouse: the left button clicks the HUD, the right button is the menu button (held for an
-- item's menu), the middle button grabs (drags the view).
bind(8, M.B0, function(v) KEYS.click(v) end)
bind(8, M.B1, function(v) KEYS.menu(v) end)
bind(8, M.B2, function(v) KEYS.grab(v) end)

-- Keyboard: arrows move, Page Up / Page Down zoom in and out, Space clicks. Escape is left
-- to the window, which toggles the HUD menu with it.
bind(16, K.LEFT, function(v) KEYS.left(v) end)
bind(16, K.RIGHT, function(v) KEYS.right(v) end)
bind(16, K.UP, function(v) KEYS.up(v) end)
bind(16, K.DOWN, function(v) KEYS.down(v) end)
bind(16, K.PRIOR, function(v) KEYS["in"](v) end)
bind(16, K.NEXT, function(v) KEYS.out(v) end)
bind(16, K.SPACE, function(v) KEYS.click(v) end)

-- Joysticks report axes from 0 to 65535 with the centre at 32768; a quarter of the range
-- either side of the centre is dead.
local function axis(v)
    return (v - 32768) / 16384
end
bind(0, J.X, function(v) KEYS.leftright(axis(v)) end)
bind(0, J.Y, function(v) KEYS.updown(axis(v)) end)
bind(0, J.B0, function(v) KEYS.click(v) end)
bind(0, J.B1, function(v) KEYS.grab(v) end)
