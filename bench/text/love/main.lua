-- bench_text's workload on LOVE 11.4: N texts of 16 characters bouncing
-- around the window, one love.graphics.print per text per frame, in an
-- ImageFont of 8 x 8 cells made from the runtime's own built-in font
-- (bench_text imagefont FILE writes it; TEXT_FONT names it).
-- usage: TEXT_FONT=font.png love <this dir> N [frames=100] [warmup=10]
-- Placement, motion and the characters follow the same Park-Miller sequence
-- as bench/text/text.cpp; a custom love.run drops the stock loop's sleep.
local W, H, CELL, LENGTH = 800, 480, 8, 16
local N, FRAMES, WARMUP
local font
local xs, ys, vxs, vys, texts = {}, {}, {}, {}, {}

local seed = 12345
local function rnd()
    seed = (seed * 16807) % 2147483647   -- exact in doubles (< 2^46)
    return seed / 2147483647
end

local function load_font()
    local path = assert(os.getenv("TEXT_FONT"), "set TEXT_FONT to the ImageFont strip (bench_text imagefont FILE)")
    local f = assert(io.open(path, "rb"))
    local bytes = f:read("*a")
    f:close()
    local glyphs = {}
    for c = 32, 126 do glyphs[#glyphs + 1] = string.char(c) end
    love.graphics.setDefaultFilter("nearest", "nearest")
    local data = love.image.newImageData(love.filesystem.newFileData(bytes, "font.png"))
    font = love.graphics.newImageFont(data, table.concat(glyphs))
    assert(font:getWidth("W") == CELL and font:getHeight() == CELL, "the font's cells are not 8 x 8")
    love.graphics.setFont(font)
end

local function init(args)
    N = tonumber(args[1]) or 2000
    FRAMES = tonumber(args[2]) or 100
    WARMUP = tonumber(args[3]) or 10
    load_font()
    local tw = LENGTH * CELL
    for i = 1, N do
        xs[i] = rnd() * (W - tw)
        ys[i] = rnd() * (H - CELL)
        vxs[i] = (rnd() * 2 - 1) * 3
        vys[i] = (rnd() * 2 - 1) * 3
        local t = {}
        for j = 1, LENGTH do t[j] = string.char(33 + math.floor(rnd() * 94)) end
        texts[i] = table.concat(t)
    end
    love.graphics.setBlendMode("alpha", "alphamultiply")
    local name, version, vendor, device = love.graphics.getRendererInfo()
    io.stderr:write(("love: %s %s | %s | video=%s\n"):format(name, version, device,
        os.getenv("SDL_VIDEODRIVER") or "default"))
end

local function update()
    local mx, my = W - LENGTH * CELL, H - CELL
    for i = 1, N do
        local x, y = xs[i] + vxs[i], ys[i] + vys[i]
        if x < 0 then x = -x; vxs[i] = -vxs[i]
        elseif x > mx then x = 2 * mx - x; vxs[i] = -vxs[i] end
        if y < 0 then y = -y; vys[i] = -vys[i]
        elseif y > my then y = 2 * my - y; vys[i] = -vys[i] end
        xs[i], ys[i] = x, y
    end
end

local SCISSOR = os.getenv("TEXT_SCISSOR") == "1"

local function draw()
    local print, floor = love.graphics.print, math.floor
    if SCISSOR then love.graphics.setScissor(0, 0, 1, 1) end
    for i = 1, N do print(texts[i], floor(xs[i]), floor(ys[i])) end
    if SCISSOR then love.graphics.setScissor() end
end

function love.run()
    init(love.arg.parseGameArguments(arg))
    local f, total, t0 = 0, WARMUP + FRAMES, nil
    -- Reading the frame back (captureScreenshot runs inside present) waits for
    -- the GPU: once before timing, once at the end.
    local function sync() end
    return function()
        love.event.pump()
        for name in love.event.poll() do
            if name == "quit" then return 1 end
        end
        if f == WARMUP then t0 = love.timer.getTime() end
        update()
        love.graphics.origin()
        love.graphics.clear(0.1, 0.1, 0.2, 1)
        draw()
        if f == WARMUP - 1 or f == total - 1 then love.graphics.captureScreenshot(sync) end
        love.graphics.present()
        f = f + 1
        if f == total then
            local secs = love.timer.getTime() - t0
            local fps = FRAMES / secs
            io.write(("RESULT peer=love variant=print" .. (SCISSOR and "_scissor" or "") .. " n=%d chars=%d frames=%d secs=%.4f fps=%.2f chars_per_s=%.0f\n")
                :format(N, LENGTH, FRAMES, secs, fps, fps * N * LENGTH))
            io.flush()
            return 0
        end
    end
end
