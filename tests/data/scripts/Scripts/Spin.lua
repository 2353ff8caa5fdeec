-- Never ends on its own: the watchdog has to stop it.
while true do
end
