-- Start-up configuration: runs after every start-up library is registered and before the
-- window exists. Every option starts at zero, so each one the program needs is set here.
-- (The sound, HUD and image libraries exist already but are not usable until later.)

opt.lang("en-uk")
opt.lang_alt("en")

opt.start_state("main_state_menu")

opt.show_debug(true)            -- console keys and status lines
opt.window_startup("normal")    -- or "maximised" / "fullscreen"
opt.window_width(800)
opt.window_height(600)

opt.sfx_enabled(true)
opt.sfx_voices(16)
opt.sfx_device_name("")
opt.sfx_background_volume(1.0)
opt.sfx_foreground_volume(1.0)

opt.next_level("basic")         -- level folder and number of the amaze and structor states
opt.next_number(1)
