-- Mesh choices of every object group of an avatar: one global table per group, each entry
-- names its mesh file under data/avatar/xox/ and two weights the soul randomiser uses for
-- boyish (boi) and girlish (grl) souls.

beard = {
    full = { xox = "beard_full", boi = 0.4, grl = 0 },
    goatee = { xox = "beard_goatee", boi = 0.4, grl = 0 },
}

body = {
    default = { xox = "body_round", boi = 1, grl = 1 },
    slim = { xox = "body_slim", boi = 1, grl = 1 },
}

ear = {
    default = { xox = "ear_round", boi = 1, grl = 1 },
    pointy = { xox = "ear_pointy", boi = 0.3, grl = 0.3 },
}

eye = {
    default = { xox = "eye_round", boi = 1, grl = 1 },
    oval = { xox = "eye_oval", boi = 1, grl = 1 },
}

eyeball = {
    default = { xox = "eyeball_dot", boi = 1, grl = 1 },
    big = { xox = "eyeball_big", boi = 0.5, grl = 1 },
}

foot = {
    default = { xox = "foot_shoe", boi = 1, grl = 1 },
    boot = { xox = "foot_boot", boi = 1, grl = 0.5 },
}

hair = {
    mop = { xox = "hair_mop", boi = 1, grl = 1 },
    spiky = { xox = "hair_spiky", boi = 1, grl = 0.3 },
}

hair_base = {
    short = { xox = "hair_base_short", boi = 1, grl = 0.3 },
    long = { xox = "hair_base_long", boi = 0.2, grl = 1 },
}

hair_xtra = {
    bun = { xox = "hair_xtra_bun", boi = 0.1, grl = 0.6 },
    tail = { xox = "hair_xtra_tail", boi = 0.2, grl = 0.6 },
}

hat = {
    top = { xox = "hat_top", boi = 0.3, grl = 0.2 },
    cap = { xox = "hat_cap", boi = 0.3, grl = 0.2 },
}

hand = {
    default = { xox = "hand_glove", boi = 1, grl = 1 },
    mitt = { xox = "hand_mitt", boi = 1, grl = 0.5 },
}

head = {
    default = { xox = "head_round", boi = 1, grl = 1 },
    long = { xox = "head_long", boi = 1, grl = 1 },
}

mouth = {
    default = { xox = "mouth_wide", boi = 1, grl = 1 },
    small = { xox = "mouth_small", boi = 0.6, grl = 1 },
}

inmouth = {
    teeth = { xox = "inmouth_teeth", boi = 0.5, grl = 0.5 },
    tongue = { xox = "inmouth_tongue", boi = 0.2, grl = 0.2 },
}

nose = {
    default = { xox = "nose_button", boi = 1, grl = 1 },
    long = { xox = "nose_long", boi = 1, grl = 0.5 },
}

specs = {
    round = { xox = "specs_round", boi = 0.3, grl = 0.3 },
    square = { xox = "specs_square", boi = 0.3, grl = 0.3 },
}

tail = {
    fluffy = { xox = "tail_fluffy", boi = 0.1, grl = 0.1 },
    thin = { xox = "tail_thin", boi = 0.1, grl = 0.1 },
}

inhand = {
    ball = { xox = "inhand_ball", boi = 0.2, grl = 0.2 },
    wand = { xox = "inhand_wand", boi = 0.2, grl = 0.2 },
}
