-- Script of the xlate library.

-- Runs every time the Lua environment closes.
function xlate.onexit()
end
