#!/usr/bin/env python3
"""Writes the committed seed inputs of the fuzz targets (fuzz/seeds/<target>/) from the sample
catalogue and the texts the link tests use. The catalogue and .DEV target reads data/ and
tests/*/fixtures/ directly and needs no seeds here. Run again after the catalogue changes."""
import os
import shutil
import xml.etree.ElementTree as ET

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


def reset(name):
    path = os.path.join(HERE, "seeds", name)
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


def write(folder, name, data):
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def record(section, wire, code, b4, b5=None):
    data = [b4] + ([b5] if b5 is not None else []) + list(range(1, 8))
    return bytes([0x10, section & 255, wire & 255, code & 255] + data[:8])


def key_texts(texts):
    out = bytes([len(texts)])
    for t in texts:
        b = t.encode("utf-8")[:31]
        out += bytes([len(b)]) + b
    return out


def read_tree_seeds():
    folder = reset("read_tree")
    models = ET.parse(os.path.join(ROOT, "data", "devices.xml")).getroot().iter("Device")
    for m, device in enumerate(models):
        wire = int(device.get("device_addr", "0")) - 1
        records = b""
        for table in device.iter("Table"):
            code = int(table.get("can_type", "1"))
            addrs = [int(a.get("value", "00"), 16) for a in table.iter("TabAddr")] or [0]
            for p in table.iter("Parameter"):
                section = int(p.get("can_id_razdel", "0"))
                if code == 3:
                    for key in (0, 1, 300):
                        records += record(section, wire, code, key & 255, key >> 8)
                else:
                    for a in addrs:
                        records += record(section, wire, code, a)
        keys = key_texts(["Мастер-ключ", "Ключ №1", "Ключ № 300"])
        write(folder, f"model{m}-answers", bytes([m]) + keys + records)
        write(folder, f"model{m}-silent", bytes([m]) + key_texts([]))


def packet_text_seeds():
    folder = reset("packet_text")
    texts = ["FFFFFF000", "85ff0200", "000000FF", "85FF0200FF00000000000000", "FFFFFF00111403020E050904",
             "02FF0200ab1", "85FF0200FF000000000000001A", "1234567X", "85FF0200 FF",
             "\u0661\u0662\u0663\u0664\u0665\u0666\u0667\u0668", "20FF05000E00000000000000", "02FF020001"]
    for i, t in enumerate(texts):
        write(folder, f"text{i:02}", t.encode("utf-8"))


def monitor_command_seeds():
    folder = reset("monitor_command")
    lines = [("", ""), ("", "0102"), ("1234567", ""), ("123456", "0102"), ("123456789", ""), ("1234567G", ""),
             ("1234 678", ""), ("12345678", "0G"), ("12345678", "01 02"), ("12345678", ""), ("abcdef00", "abc"),
             ("FFFFFFFF", "0123456789ABCDEF"), ("85FF0200", "FF"), ("85FF0200", "0123456789ABCDEF0123")]
    for i, (id_text, data) in enumerate(lines):
        write(folder, f"line{i:02}", (id_text + "\n" + data).encode("utf-8"))


def archive(section, wire, sub, data):
    return bytes([0xEE, section, wire, sub] + (list(data) + [0] * 8)[:8])


def archive_answers_seeds():
    folder = reset("archive_answers")
    wire = 1
    # First layout: the last-record answer, then per index the start, event and number answers.
    first = archive(0xFF, wire, 0x1E, [0, 3])
    for index in range(4):
        first += archive(0xFF, wire, 0x1C, [0, index, 0, 5, 0, 0, 0x0E, 0x10])
        first += archive(0xFF, wire, 0x1B, [0, index, 0, index * 9, 0, 2])
        first += archive(0xFF, wire, 0x1A, [0, index, 0, 0, 0, index + 1])
    write(folder, "aspt-four", bytes([0, wire]) + first)
    # Second layout: section the answer kind, indexes low byte first, zone and node in the sub-code.
    second = archive(0x1E, wire, 0x00, [4, 0])
    for index in range(4):
        second += archive(0x1A, wire, index + 1, [index, 0, index % 3, 7, 2, 0x10])
        second += archive(0x1B, wire, 0x00, [index, 0, 10, 12, 26, 14, 5, 9])
    write(folder, "aspt-a-four", bytes([3 << 3, wire]) + second)
    write(folder, "silent", bytes([0, wire]))
    write(folder, "hostile", bytes([0xFF, 0xFF]) + bytes([0xFF] * 12) + archive(0xFF, wire, 0x1E, [0xFF, 0xFF]))


def search_answers_seeds():
    folder = reset("search_answers")
    models = ET.parse(os.path.join(ROOT, "data", "devices.xml")).getroot().iter("Device")
    ids = [int(d.get("device_id", "0")) for d in models]
    answers = b""
    for n, type_id in enumerate(ids):
        answers += bytes([0x20, 0xFF, n, 0x00, type_id & 255] + [0] * 7)
    write(folder, "every-model", answers)
    write(folder, "repeated", answers + answers)
    write(folder, "edges", bytes([0x20, 0xFF, 0xFF, 0x00, ids[0] & 255] + [0] * 7) +
          bytes([0x20, 0xFF, 0xFE, 0x00, ids[0] & 255] + [0] * 7) +
          bytes([0x20, 0xFF, 0x00, 0x00, 0xFF] + [0] * 7))


read_tree_seeds()
packet_text_seeds()
monitor_command_seeds()
archive_answers_seeds()
search_answers_seeds()
