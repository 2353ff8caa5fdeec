-- The player's options: read from the options file at start and handed to the looms; the
-- Options window changes them and keeps them in the file. The theme plays under the menus and
-- the levels, at the options' volume.
G.LoadOptions()

function ApplyOptions()
    G.SetShadows(OptionShadows)
    G.SetVolume(OptionVolume)
end

function SetShadowsOption(on)
    OptionShadows = on
    ApplyOptions()
    G.SaveOptions(OptionShadows, OptionVolume)
end

function SetVolumeOption(volume)
    OptionVolume = volume
    ApplyOptions()
    G.SaveOptions(OptionShadows, OptionVolume)
end

ApplyOptions()
G.PlayMusic("Music/Theme.ogg")
