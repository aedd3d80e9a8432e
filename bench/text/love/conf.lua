-- LOVE 11.4 peer of bench_text: window 800x480, vsync off, only the modules needed.
function love.conf(t)
    t.identity = "bench-text"
    t.window.title = "text-love"
    t.window.width = 800
    t.window.height = 480
    t.window.vsync = 0
    t.window.msaa = 0
    t.window.resizable = false
    t.modules.audio = false
    t.modules.sound = false
    t.modules.joystick = false
    t.modules.physics = false
    t.modules.touch = false
    t.modules.video = false
end
