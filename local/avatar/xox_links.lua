-- Mesh choices of the avatars' object groups: one table per group, each entry naming a mesh
-- under data/avatar/xox/ and its weights for the random soul generator, for example
--   head = { default = { xox = "head01", boi = 1, grl = 1 } }
-- No part meshes are installed yet, so every group is empty.

beard = {}
body = {}
ear = {}
eye = {}
eyeball = {}
foot = {}
hair = {}
hair_base = {}
hair_xtra = {}
hat = {}
hand = {}
head = {}
mouth = {}
inmouth = {}
nose = {}
specs = {}
tail = {}
inhand = {}
