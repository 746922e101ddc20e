#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/.

The seeds are committed; run this again only to change them. Descriptors are the emulated
products' own; the scripts replay a device that answers well, in the input layouts the
targets read (see each *_fuzz.cpp)."""
import os
import shutil

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)

SYSTEM = [0x05, 0x01, 0x09, 0x80, 0xA1, 0x01, 0x85, 0x02, 0x19, 0x81, 0x29, 0x83, 0x15, 0x00,
          0x25, 0x01, 0x75, 0x01, 0x95, 0x03, 0x81, 0x02, 0x95, 0x05, 0x81, 0x01, 0xC0]
CONSUMER = [0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x03, 0x15, 0x00, 0x26, 0xFF, 0x07, 0x19,
            0x00, 0x2A, 0xFF, 0x07, 0x75, 0x10, 0x95, 0x01, 0x81, 0x00, 0xC0]
VENDOR = [0x06, 0x1C, 0xFF, 0x09, 0x92, 0xA1, 0x01, 0x85, 0x04, 0x09, 0x01, 0x15, 0x00, 0x26,
          0xFF, 0x00, 0x75, 0x08, 0x95, 0x3F, 0x81, 0x02, 0x09, 0x02, 0x91, 0x02, 0xC0]
MOUSE = [0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x85, 0x01, 0x09, 0x01, 0xA1, 0x00,
         0x05, 0x09, 0x19, 0x01, 0x29, 0x05, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x05,
         0x81, 0x02, 0x75, 0x03, 0x95, 0x01, 0x81, 0x01,
         0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x16, 0x01, 0x80, 0x26, 0xFF, 0x7F, 0x75, 0x10,
         0x95, 0x02, 0x81, 0x06,
         0x09, 0x38, 0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x01, 0x81, 0x06,
         0xC0, 0xC0] + SYSTEM + CONSUMER + VENDOR
KEYBOARD = [0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x85, 0x01,
            0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08,
            0x81, 0x02, 0x95, 0x01, 0x75, 0x08, 0x81, 0x01,
            0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x95, 0x05, 0x75, 0x01, 0x91, 0x02,
            0x95, 0x01, 0x75, 0x03, 0x91, 0x01,
            0x05, 0x07, 0x19, 0x00, 0x2A, 0xFF, 0x00, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x95, 0x06,
            0x75, 0x08, 0x81, 0x00, 0xC0] + SYSTEM + CONSUMER + VENDOR
HEADSET = [0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01,
           0x85, 0x01, 0x15, 0x00, 0x25, 0x01, 0x09, 0xE9, 0x09, 0xEA, 0x09, 0xE2, 0x75, 0x01,
           0x95, 0x03, 0x81, 0x02, 0x95, 0x05, 0x81, 0x01,
           0x85, 0x04, 0x06, 0x1C, 0xFF, 0x09, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08,
           0x95, 0x3F, 0x81, 0x02, 0x09, 0x02, 0x91, 0x02,
           0x85, 0xFF, 0x09, 0x03, 0x95, 0x10, 0x91, 0x02, 0xC0]
# Two 32-bit values over the whole int32 range, one with a falling physical range.
FULL_WIDTH = [0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x85, 0x01, 0x09, 0x30, 0x17, 0x00, 0x00,
              0x00, 0x80, 0x27, 0xFF, 0xFF, 0xFF, 0x7F, 0x75, 0x20, 0x95, 0x01, 0x81, 0x02,
              0x09, 0x31, 0x37, 0xE8, 0x03, 0x00, 0x00, 0x47, 0x18, 0xFC, 0xFF, 0xFF, 0x81,
              0x02, 0xC0]

FACTORY = [(0x10, 0x01, 0x00), (0x10, 0x02, 0x00), (0x10, 0x04, 0x00), (0x10, 0x10, 0x00),
           (0x10, 0x08, 0x00), (0x13, 0x01, 0x00), (0x13, 0x02, 0x00), (0xA0, 0x02, 0x00),
           (0x13, 0x03, 0x00), (0xA0, 0x1B, 0x00), (0x16, 0x90, 0x01)]


def corpus(target):
    """The target's seed folder, emptied but for its regression inputs: files named
    regression-* are inputs the fuzzer once broke the code with, kept as they were found."""
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    for name in os.listdir(folder):
        if not name.startswith("regression-"):
            os.remove(os.path.join(folder, name))
    return folder


def put(folder, name, data):
    with open(os.path.join(folder, name), "wb") as f:
        f.write(bytes(data) if not isinstance(data, bytes) else data)


def descriptors():
    f = corpus("report_descriptor")
    for name, d in [("mouse", MOUSE), ("keyboard", KEYBOARD), ("headset", HEADSET),
                    ("full_width", FULL_WIDTH)]:
        put(f, name, d)


def reports(descriptor, rs):
    out = [len(descriptor) & 0xFF, len(descriptor) >> 8] + descriptor
    for r in rs:
        out += [len(r)] + r
    return out


def input_reports():
    f = corpus("input_report")
    put(f, "mouse", reports(MOUSE, [[0x01, 0x05, 0xFE, 0xFF, 0x10, 0x00, 0x81],
                                    [0x03, 0x01, 0x04], [0x02, 0x05]]))
    put(f, "keyboard", reports(KEYBOARD, [[0x01, 0x82, 0x00, 0x04, 0x05, 0, 0, 0, 0],
                                          [0x03, 0x01, 0x05]]))
    put(f, "full_width", reports(FULL_WIDTH, [[0x01, 0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0x80],
                                              [0x01, 0, 0, 0, 0x80, 0xFF, 0xFF, 0xFF, 0x7F]]))


# Scripted device: per request one action byte; action 0 = a good reply whose payload (the
# request's length) follows in the script.
def good(payload_length, payload=()):
    p = list(payload)[:payload_length]
    return [0] + p + [0] * (payload_length - len(p))


def info_block(slots, units):
    info = [0] * 34
    info[0], info[1], info[5], info[6] = 0x05, 0x01, slots, units
    return info


def command_channel():
    f = corpus("command_channel")
    # SimpleCommand1, ReadInfo, WriteAt 95 bytes at 0, SimpleCommand2, Probe.
    s = [0] + good(0)
    s += [3] + good(34, info_block(16, 16))
    s += [11, 95, 0, 0, 0] + good(56) + good(39)
    s += [1] + good(0)
    s += [14, 0]
    put(f, "write_sequence", s)
    # SetBlockSize 48 (wired), ReadBlock, ReadThirdBlock, ReadRange 6 at 0, a light frame.
    table = [b for code in FACTORY for b in code] + [0] * 15
    s = [15, 48, 0, 0] + [7] + good(48, table) + [8] + good(16)
    s += [13, 6, 0, 0] + good(6, [100, 0, 0, 0, 0, 0])
    s += [10, 48, 0] + good(48)
    put(f, "read_sequence", s)
    # Refusals: status 0xFE on a chunk, a lost reply, a stale reply, a failed write.
    s = [11, 120, 0, 0, 0] + good(56) + [3, 0xFE] + [0] * 56
    s += [0, 4] + [0, 7, 1, 1]
    s += [2, 5, 0]
    put(f, "faults", s)


def mouse_protocol():
    f = corpus("mouse_protocol")
    table = [b for code in FACTORY for b in code] + [0] * 15
    block = [0x00, 0x01, 0x03, 0x02, 0x00, 0x01, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0x03,
             0x04, 0x00, 0x09, 0x00, 0x0F, 0x00, 0x13, 0x00, 0x01, 0x1D, 0x00, 0x27, 0x00]
    block += [0] * (59 - len(block))
    connect = [0] + good(0) + good(34, info_block(16, 16)) + good(48, table) + good(0)
    read = [1] + good(1, [0]) + good(56, block) + good(3, block[56:])
    write = [2, 1] + good(0) + good(56) + good(39) + good(0)
    keys = [3, 2, 0x10, 0x02, 0x00, 0x70, 0x00, 0x00]
    keys += good(34, info_block(16, 16)) + good(0) + good(48) + good(0)
    put(f, "wired_session", [0] + connect + read + write + keys)
    macros = [4] + good(34, info_block(16, 16)) + good(0) + good(40) + good(0)
    shoot = [5] + good(34, info_block(16, 16)) + good(0) + good(56) + good(0)
    stages = [6, 3] + [4, 0, 255, 0, 0] * 3 + [1] + [1, 4, 2, 0, 1, 255, 0, 0, 0] + [0] * 5
    put(f, "images_and_stages", [0] + connect + macros + shoot + stages + write)
    # Over the wireless receiver: a probe (reply byte 8 = 0xFF) before the commands.
    probe = good(0)  # a zero byte 8: the mouse is away
    put(f, "wireless_away", [1, 0] + probe + [2, 1] + good(0))


KEYBOARD_CODES = [(0x20, 0x00, c) for c in (0x29, 0x3A, 0x3B, 0x3C, 0x3D, 0x3E, 0x3F, 0x40, 0x41,
                                            0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48)]
KEYBOARD_CODES += [(0xA0, 0x1B, 0x00), (0xA0, 0x24, 0x00)] + [(0x20, 0x00, 0x00)] * 3
KEYBOARD_CODES += [(0x20, 0x00, 0x35), (0x20, 0x00, 0x1E), (0x20, 0x00, 0x1F)]


def chunks(payload):
    out = []
    for at in range(0, len(payload), 56):
        out += good(len(payload[at:at + 56]), payload[at:at + 56])
    return out


def keyboard_protocol():
    f = corpus("keyboard_protocol")
    slots = len(KEYBOARD_CODES)
    table = [b for code in KEYBOARD_CODES for b in code]
    leds = list(reversed(range(slots)))
    info = info_block(slots, 16)
    connect = [0] + good(0) + good(34, info) + chunks(table) + good(slots, leds) + good(0)
    block = [0, 3, 4, 1, 2, 0, 0, 0, 0] + [0] * 9 + [1, 1, 0, 1, 3, 0, 0]
    read = [1] + good(1, [0]) + good(25, block)
    write = [2, 1] + good(0) + good(25) + good(0)
    keys = [3, 3] + [0x20, 0x00, 0x04, 0x70, 0x00, 0x00, 0x20, 0x02, 0x00]
    keys += good(34, info) + good(0) + chunks([0] * 3 * slots) + good(0)
    macros = [4] + good(34, info) + good(0) + good(30) + good(0)
    colours = [5, 1, 3] + [255, 0, 0, 0, 255, 0, 0, 0, 255] + chunks([0] * 3 * slots)
    frame = [6, 2] + [255, 128, 0, 255, 10, 20, 30, 128] + chunks([0] * 3 * slots)
    usages = [7, 0x02, 0x05, 7, 0x02, 0x06, 7, 0x7F, 0x05]
    put(f, "session", connect + read + write + keys + macros + colours + frame + usages)
    # Settings of any shape first, then a wireless board: no frames, no colour tables.
    settings = [8] + [30, 9, 7, 1, 1, 255, 0, 0, 3] + [0xFF] * 12 + [4, 1, 2, 3, 4] + [0]
    wireless = [8] + [8, 4, 2, 0, 0, 0, 0, 0, 0] + [0] * 12 + [0] + [4]
    put(f, "settings_wireless", connect + settings + write + wireless + colours[:12] + frame[:10])
    # A reconnection that fails after its information block asked for another table size,
    # then a key table write: still only the table read before.
    lost = [0] + good(0) + good(34, info_block(100, 16)) + [4]
    keys = [3, 0] + good(34, info) + good(0) + chunks([0] * 3 * slots) + good(0)
    put(f, "failed_reconnect", connect + lost + keys)
    # A key table larger than the buffers, then a refusal in the middle of the key table.
    put(f, "too_many_slots", [0] + good(0) + good(34, info_block(200, 16)) + good(0) + connect +
        [3, 0] + good(34, info) + good(0) + good(56) + [3, 0xFE] + [0] * 16)


def macro_library():
    f = corpus("macro_library")
    sep = b"\n--\n"
    files = [
        b'{"MacroInfo": [{"MacroName": "Fire", "Guid": "m1", "Colour": 3}, '
        b'{"MacroName": "macro_1", "Guid": "m2"}], "Other": [1, 2]}',
        b'{"MacroName": "Fire", "Guid": "m1", "Events": [{"Action": "down", "Button": 4, '
        b'"Type": 10, "Delay": "12"}, {"Action": "up", "Button": 4, "Type": 10, "Delay": 70000}, '
        b'{"Action": "down", "Button": 1, "Type": 1, "Delay": "5"}, '
        b'{"Action": "down", "Button": 30, "Type": 4, "Delay": "0"}], "Version": 64}',
        b'{"Events": [{"Action": "up", "Button": 225, "Type": 9, "Delay": "x"}, 5]}',
        b'', b'',
        b'{"MacroName": "Imported", "Guid": "../elsewhere", "Events": []}',
    ]
    # add, rename, events, export, import, delete, reload.
    ops = bytes([0, 2, 1, 0, 3, 0x46, 0x49, 0x52, 5, 1, 4, 0, 3, 0, 1, 0, 6, 2, 2, 0, 0])
    put(f, "library", sep.join([ops] + files))
    many = b", ".join(b'{"MacroName": "M%d", "Guid": "m%d"}' % (i % 40, i % 5) for i in range(53))
    hostile = b'{"MacroInfo": [' + many + b', 7, {"MacroName": "m0"}, {"Guid": "../x"}]}'
    ops = bytes([0, 3, 0, 1, 3, 2, 4, 0, 2, 5, 1, 50, 1, 0, 6])
    put(f, "full_and_repeated", sep.join([ops, hostile, files[1], b"[]", b"{", b"null",
                                           files[5]]))
    names = (b'{"MacroInfo": [{"MacroName": "\xc3\xa9t\xc3\xa9", "Guid": "m1"}, '
             b'{"MacroName": "\xc3\x89T\xc3\x89", "Guid": "m1"}, {"MacroName": "a\xff"}]}')
    put(f, "case_and_bytes", sep.join([bytes([2, 0, 0, 2, 1, 1, 0x41, 1, 1, 6]), names]))
    put(f, "damaged", sep.join([bytes([0, 0, 6]), b'{"MacroInfo": [{"MacroName": "half']))


def pad_protocol():
    f = corpus("pad_protocol")
    block = [0, 2, 4, 1, 0, 1, 255, 128, 0] + list(range(0x90, 0x9C)) + [0xEE] * 4
    engine = [100, 0, 200, 0, 0, 4, 16, 0]
    connect = [0] + good(0) + good(34, info_block(0, 0)) + good(0)
    read = [1] + good(1, [1]) + good(25, block) + engine
    write = [2, 0] + good(0) + good(21) + good(0)
    apply = [3, 5, 4, 2, 0, 1, 0, 255, 0, 0] + engine
    put(f, "session", [0] + connect + read + apply + write)
    # A refused write in the middle of the sequence, then a lost reply.
    put(f, "refused", [0] + [2, 0] + good(0) + [3, 0xFE] + [0] * 21 + good(0) + [1, 4])


def headset_protocol():
    f = corpus("headset_protocol")
    record = [0, 7, 4, 0, 1, 1, 9, 8, 7] + list(range(0x90, 0x9C)) + [0xEE] * 4
    engine = [20, 0, 40, 0, 0, 1, 16, 0]
    read = [0] + good(1, [1]) + good(25, record) + engine
    write = [1, 1] + good(0) + good(21) + good(0)
    power = [2] + good(6, [0x50, 1, 0, 9, 0x37, 2])
    apply = [3, 2, 3, 1, 1, 0, 1, 2, 3, 0] + engine
    frame = [4, 13] + [255, 128, 0, 255] * 13
    put(f, "session", [0] + read + apply + write + power + frame)
    put(f, "wireless_refused", [1] + [0] + good(0) + good(1, [2]) + [3, 0xFF] + [0] * 25)


def update_replies():
    f = corpus("update_reply")
    put(f, "newer_hex", bytes([1, 0x04, 0x01, 0, 0]) +
        b'{"version": "0105", "version_name": "1.0.5", "name": "Mouse M1", '
        b'"path": "https://updates.example.org/files/m1-105.bin?x=1", "device_id": 3}')
    put(f, "newest_decimal", bytes([2, 105, 0, 0, 0]) +
        b'{"version": "105", "version_name": "1.0.5", "name": "Tellune", "path": ""}\x00junk')
    put(f, "not_object", bytes([0, 1, 0, 0, 0]) + b'["version", "999"]')
    f = corpus("json_update_time")
    put(f, "config", b'{"updatelasttime": {"value": "2026-12-8"}, "other": {"kept": true}}')
    put(f, "wrong_types", b'{"updatelasttime": ["2026-12-8"]}')


def copy_files(target, files):
    f = corpus(target)
    for name in files:
        shutil.copy(os.path.join(ROOT, "DefaultData", name), os.path.join(f, name))
    return f


def json_seeds():
    f = copy_files("json_profile", ["mouse.Json", "keyboard.Json", "HD.Json", "MousePad.Json"])
    put(f, "small.Json", b'{"profilename": "A", "profileUUID": "u", "Device": [{'
        b'"LightInfo": {"SelectItem": 9, "MultiColor": true, "Red": 300},'
        b'"DPIStages": {"StageActive": 1, "StageDPIs": [{"StageDPIX": 70000}, 5]},'
        b'"KeyList": [{"Assignment": 131844, "DefaultAssignment": 65536}, null]}]}')
    f = corpus("json_profile_list")
    put(f, "two", b'{"profilelist": [{"profilename": "profile1", "profileUUID": '
        b'"2019_05_12_08_30_05_123", "profileislink": 0, "profilelinkmame": ""}, '
        b'{"profilename": "Work", "profileUUID": "2019_05_12_08_30_06_000"}], '
        b'"profileselect": 1}')
    put(f, "odd", b'{"profilelist": [{"profilename": " ", "profileUUID": "a"}, '
        b'{"profileUUID": "../b"}, {"profilename": "A", "profileUUID": "a"}, '
        b'{"profilename": "PROFILE1", "profileUUID": "c"}], "profileselect": 7, "x": 1}')
    put(f, "damaged", b'{"profilelist": [{"profilename": "half')
    put(f, "not_utf8", b'{"profilelist": [{"profilename": "A\xff", "profileUUID": "u1"}, '
        b'{"profilename": "A\xfe", "profileUUID": "u\xc3("}], "profileselect": 1}')
    f = copy_files("json_light_presets", ["default_light.json"])
    put(f, "pomex", b'{"LightInfo": [[{"LightName": "Mine", "Guid": "fx"}, '
        b'{"LightName": "Away", "Guid": "../fx"}]], "LEDEffectList": [{"LEDREGMode": 1, '
        b'"LEDDirection": 0, "LEDBrightness": 4, "LEDSpeed": 2, "LEDMultiColor": 0, "red": 255, '
        b'"green": 0, "blue": 0, "Time": 100, "Cyle": 2}]}')
    f = corpus("json_macro_files")
    put(f, "library", b'{"MacroInfo": [{"MacroName": "m1", "Guid": "m"}, {"Guid": "../x"}], '
        b'"Events": [{"Action": "down", "Button": 4, "Type": 10, "Delay": "12"}, '
        b'{"Action": "up", "Button": 4, "Type": 10, "Delay": 30}]}')


if __name__ == "__main__":
    descriptors()
    input_reports()
    command_channel()
    mouse_protocol()
    keyboard_protocol()
    pad_protocol()
    macro_library()
    headset_protocol()
    update_replies()
    json_seeds()
