-- Wireshark dissector for LMWireTypes price records in UDP datagrams.
--
-- A datagram carries one or more whole 86-byte price records back to back (the transport is
-- outside the library, so this is the convention of the lmwire tool too). Every datagram to the
-- ports of the "ports" preference is dissected as records, whatever its length. Any other UDP
-- datagram is taken by a heuristic dissector (lmwire_udp) only when its length on the wire is a
-- positive multiple of 86 and every captured record has a price format code with a row (1..62):
-- other traffic of that length is left to the other dissectors.
--
-- Load it with `wireshark -X lua_script:lmwire.lua` (or `tshark -X ...`), or copy it into the
-- personal plugins folder (Help > About Wireshark > Folders, "Personal Lua Plugins").
-- Display filters use the record's accessor names: lmwire.LastPrice, lmwire.Bid.Price, ...

local RECORD = 86
local LEVELS = 10

local lmwire = Proto("lmwire", "LMWireTypes price records")

local f = {
    PriceType = ProtoField.uint8("lmwire.PriceType", "PriceType", base.DEC),
    PriceFormatCode = ProtoField.uint8("lmwire.PriceFormatCode", "PriceFormatCode", base.DEC),
    LastSize = ProtoField.uint16("lmwire.LastSize", "LastSize", base.DEC),
    LumeraID = ProtoField.uint16("lmwire.LumeraID", "LumeraID", base.DEC),
    LastPrice = ProtoField.int32("lmwire.LastPrice", "LastPrice", base.DEC),
    TotalVolume = ProtoField.int32("lmwire.TotalVolume", "TotalVolume", base.DEC),
    TimeStamp = ProtoField.int32("lmwire.TimeStamp", "TimeStamp", base.DEC),
    High = ProtoField.int32("lmwire.High", "High", base.DEC),
    Low = ProtoField.int32("lmwire.Low", "Low", base.DEC),
    BidPrice = ProtoField.int32("lmwire.Bid.Price", "Price", base.DEC),
    BidSize = ProtoField.uint16("lmwire.Bid.Size", "Size", base.DEC),
    AskPrice = ProtoField.int32("lmwire.Ask.Price", "Price", base.DEC),
    AskSize = ProtoField.uint16("lmwire.Ask.Size", "Size", base.DEC),
    LastPriceText = ProtoField.string("lmwire.LastPriceText", "LastPriceText"),
    -- What a datagram holds after its last whole captured record, in bytes.
    truncated = ProtoField.uint32("lmwire.truncated", "Truncated by the snap length", base.DEC),
    trailing = ProtoField.uint32("lmwire.trailing", "Bytes after the last whole record", base.DEC),
}
lmwire.fields = {
    f.PriceType, f.PriceFormatCode, f.LastSize, f.LumeraID, f.LastPrice, f.TotalVolume,
    f.TimeStamp, f.High, f.Low, f.BidPrice, f.BidSize, f.AskPrice, f.AskSize, f.LastPriceText,
    f.truncated, f.trailing,
}

lmwire.prefs.ports = Pref.range("Ports", "", "Destination UDP ports whose datagrams are price " ..
                                "records, whatever their length (e.g. 9100,9200-9210)", 65535)

-- The price-format table of the library: code = {primaryFraction, secondaryFraction,
-- lastDigitString (false for none), sprintfFormat, primaryFractionMultiplier}. The tool's
-- tests compare every code's texts with the library's, so a change there shows here.
local FORMATS = {
    [1] = {100, 2, "05", "%d.%02d%c", 1.0},
    [2] = {100, 4, "0246", "%d.%02d%c", 1.0},
    [3] = {100, 4, "0257", "%d.%02d%c", 1.0},
    [4] = {100, 8, false, "%d.%02d%01d", 1.0},
    [5] = {1, 4, "0257", "%d.%c", 1.0},
    [6] = {32, 1, false, "%d.%02d", 1.0},
    [7] = {64, 1, false, "%d.%02d", 1.0},
    [8] = {32, 2, "05", "%d.%02d%c", 1.0},
    [9] = {32, 4, "0257", "%d.%02d%c", 1.0},
    [10] = {64, 2, "05", "%d.%02d%c", 1.0},
    [11] = {20, 1, false, "%d.%02d", 5.0},
    [12] = {1, 2, "05", "%d.%c", 1.0},
    [13] = {200, 1, false, "%d.%03d", 5.0},
    [14] = {100, 1, false, "%d.%02d", 1.0},
    [15] = {10, 1, false, "%d.%01d", 1.0},
    [16] = {100, 10, false, "%d.%02d%01d", 1.0},
    [17] = {1, 1, false, "%d", 1.0},
    [18] = {40, 1, false, "%4d.%02d", 2.5},
    [19] = {100, 1, false, "%d.%02d", 1.0},
    [20] = {1, 2, "05", "%4d.%c", 1.0},
    [21] = {1, 1, false, "%d.%01d", 10.0},
    [22] = {100, 1, false, "%d.%02d", 1.0},
    [23] = {200, 1, false, "%d.%03d", 5.0},
    [24] = {20, 1, false, "%d.%02d", 5.0},
    [25] = {4, 1, false, "%d.%02d", 25.0},
    [26] = {2, 1, false, "%d.%02d", 50.0},
    [27] = {10, 1, false, "%d.%02d", 10.0},
    [28] = {100, 1, false, "%d.%03d", 10.0},
    [29] = {100, 1, false, "%d.%02d", 1.0},
    [30] = {1, 2, "05", "%4d.%c", 1.0},
    [31] = {32, 4, "0257", "%d.%02d%c", 1.0},
    [32] = {10, 1, false, "%d.%01d", 1.0},
    [33] = {5000, 1, false, "%d.%04d", 2.0},
    [34] = {20000, 1, false, "%d.%05d", 5.0},
    [35] = {40000, 1, false, "%d.%06d", 25.0},
    [36] = {50000, 1, false, "%d.%05d", 2.0},
    [37] = {10000, 1, false, "%d.%04d", 1.0},
    [38] = {1000, 1, false, "%d.%03d", 1.0},
    [39] = {4000, 1, false, "%d.%05d", 25.0},
    [40] = {32, 4, false, "%d.%02d", 1.0},
    [41] = {32, 4, "05", "%d.%02d%c", 1.0},
    [42] = {40, 1, false, "%d.%03d", 25.0},
    [43] = {400, 1, false, "%d.%03d", 2.5},
    [44] = {2, 1, false, "%d.%01d", 5.0},
    [45] = {4, 1, false, "%d.%01d", 2.5},
    [46] = {100, 2, "05", "%d.%02d%c", 1.0},
    [47] = {1, 1, false, "%d.%01d", 1.0},
    [48] = {2000, 1, false, "%d.%04d", 5.0},
    [49] = {500, 1, false, "%d.%03d", 2.0},
    [50] = {2000, 1, false, "%d.%04d", 5.0},
    [51] = {80, 1, false, "%d.%04d", 125.0},
    [52] = {500, 1, false, "%d.%04d", 20.0},
    [53] = {32, 4, "0257", "%d.%02d%c", 1.0},
    [54] = {32, 2, "05", "%d.%02d%c", 1.0},
    [55] = {32, 1, false, "%d.%02d", 1.0},
    [56] = {100, 4, "0246", "%d.%02d%c", 1.0},
    [57] = {1000, 1, false, "%d.%03d", 1.0},
    [58] = {200, 5, "05", "%d.%03d", 5.0},
    [59] = {100000, 1, false, "%d.%05d", 1.0},
    [60] = {100, 1, false, "%d.%03d", 10.0},
    [61] = {50, 1, false, "%d.%02d", 2.0},
    [62] = {100000, 1, false, "%d.%06d", 1.0},
}

-- The display text of ticks >= 0, as the original members print it.
local function magnitude_text(code, row, n)
    local primary, secondary, last, format, multiplier = row[1], row[2], row[3], row[4], row[5]
    local r = n % secondary
    if code == 41 then
        r = r - 1
        if r < 0 then r = 0 end
    end
    n = math.floor(n / secondary)
    local p = math.floor((n % primary) * multiplier)
    local w = math.floor(n / primary)
    local c = r
    if last then
        -- The string's terminating zero byte ends the text where a remainder selects it.
        c = r < #last and last:byte(r + 1) or 0
    end
    local text
    if primary == 1 then
        text = string.format(format, w, c)
    elseif secondary == 1 then
        text = string.format(format, w, p)
    else
        text = string.format(format, w, p, c)
    end
    local nul = text:find("\0", 1, true)
    return nul and text:sub(1, nul - 1) or text
end

-- The library's display rule: a negative price is its magnitude's text with one minus sign
-- directly before the whole part (taking a padding blank where the row pads); a code without
-- a row shows nothing.
local function display(code, ticks)
    local row = FORMATS[code]
    if not row then return "" end
    if ticks >= 0 then return magnitude_text(code, row, ticks) end
    local text = magnitude_text(code, row, -ticks)
    local blanks = text:match("^ *")
    if #blanks > 0 then
        return blanks:sub(2) .. "-" .. text:sub(#blanks + 1)
    end
    return "-" .. text
end

local function int32(value)
    if value >= 2147483648 then return value - 4294967296 end
    if value < -2147483648 then return value + 4294967296 end
    return value
end

local function signed8(byte)
    return byte >= 128 and byte - 256 or byte
end

local function dissect_record(tvb, at, tree, index)
    local record = tvb(at, RECORD)
    local code = record(1, 1):uint()
    local last = record(6, 4):le_int()
    local text = display(code, last)
    local item = tree:add(lmwire, record)
    item:set_text(string.format("Price record %d: LumeraID %d, LastPrice %d (%s)", index,
                                record(4, 2):le_uint(), last, text))
    item:add_le(f.PriceType, record(0, 1))
    item:add_le(f.PriceFormatCode, record(1, 1))
    item:add_le(f.LastSize, record(2, 2))
    item:add_le(f.LumeraID, record(4, 2))
    item:add_le(f.LastPrice, record(6, 4))
    item:add(f.LastPriceText, record(6, 4), text)
    item:add_le(f.TotalVolume, record(10, 4))
    item:add_le(f.TimeStamp, record(14, 4))
    item:add_le(f.High, record(18, 4))
    item:add_le(f.Low, record(22, 4))
    -- Depth is stored as one-byte offsets from the last price; shown as the prices they are.
    for _, side in ipairs({{"Bid", 26, 36, -1, f.BidPrice, f.BidSize},
                           {"Ask", 56, 66, 1, f.AskPrice, f.AskSize}}) do
        local name, offsets, sizes, direction, price_field, size_field = table.unpack(side)
        for level = 0, LEVELS - 1 do
            local offset = record(offsets + level, 1)
            local size = record(sizes + 2 * level, 2)
            local price = int32(last + direction * signed8(offset:uint()))
            local node = item:add(lmwire, offset,
                                  string.format("%s %d: %d (%s) x %d", name, level, price,
                                                display(code, price), size:le_uint()))
            node:add(price_field, offset, price)
            node:add_le(size_field, size)
        end
    end
end

-- The whole records that were captured; the rest is counted as cut by the snap length when the
-- datagram was longer on the wire, and as bytes after the last record otherwise.
function lmwire.dissector(tvb, pinfo, tree)
    local captured = tvb:len()
    local length = tvb:reported_len()
    local count = math.floor(captured / RECORD)
    pinfo.cols.protocol = "LMWire"
    pinfo.cols.info = string.format("%d price record%s", count, count == 1 and "" or "s")
    for index = 0, count - 1 do
        dissect_record(tvb, index * RECORD, tree, index)
    end
    local rest = count * RECORD
    if length > captured then
        tree:add(f.truncated, tvb(rest, captured - rest), length - rest)
            :set_text(string.format("%d bytes truncated by the snap length", length - rest))
    elseif length > rest then
        tree:add(f.trailing, tvb(rest), length - rest)
            :set_text(string.format("%d bytes after the last whole record", length - rest))
    end
    return captured
end

-- The rule without named ports: one or more whole records on the wire, each captured one with a
-- price format of the library. A datagram with no whole record captured gives no evidence.
local function heuristic(tvb, pinfo, tree)
    local length = tvb:reported_len()
    local captured = tvb:len()
    if length == 0 or length % RECORD ~= 0 or captured < RECORD then return false end
    for at = 1, captured - 1, RECORD do
        if not FORMATS[tvb(at, 1):uint()] then return false end
    end
    lmwire.dissector(tvb, pinfo, tree)
    return true
end
lmwire:register_heuristic("udp", heuristic)

local registered = ""
function lmwire.prefs_changed()
    local udp = DissectorTable.get("udp.port")
    if registered ~= "" then udp:remove(registered, lmwire) end
    registered = lmwire.prefs.ports
    if registered ~= "" then udp:add(registered, lmwire) end
end
