-- Script of the soul library: the random soul generator the avatar editor calls.

-- sex: "boi", "grl" or nil. Returns a soul table: parts (by part name, lists of
-- {group = ..., name = ...}) and surfaces (by surface name, {argb = ..., spec = ..., gloss = ...}).
function soul.random(sex)
    return { parts = {}, surfaces = {} }
end
