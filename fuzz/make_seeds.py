#!/usr/bin/env python3
# Writes the seed files of fuzz_hmr_file (small valid data files of both layouts) and of
# fuzz_hmr_merge (three data files, BASE, OURS and THEIRS, made from the same).
import os
import struct

CORPUS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
HERE = os.path.join(CORPUS, "fuzz_hmr_file")
MERGE_HERE = os.path.join(CORPUS, "fuzz_hmr_merge")
# What fuzz_hmr_merge.cpp puts between the three files of one input.
SEPARATOR = b"\n--hmr-merge-side--\n"
DAY = 46363.375  # 2026-12-07 09:00


def checksum(body):
    total = 0
    for b in body:
        total += b
        if total > 0x7FFFFFFF:
            total -= 0x7FFFFFFF
    return total


def sealed(body):
    return body + struct.pack("<i", checksum(body))


def v2(idle, minimum, name, sessions):
    body = struct.pack("<iqqi", 2, idle, minimum, len(name)) + name
    body += struct.pack("<i", len(sessions))
    for opened, closed, not_closed, idle_s, user in sessions:
        body += struct.pack("<ddBqi", opened, closed, not_closed, idle_s, len(user)) + user
    return sealed(body)


def v1(idle_h, minimum_h, name, sessions):
    body = struct.pack("<iddi", 1, idle_h, minimum_h, len(name)) + name
    body += struct.pack("<i", len(sessions))
    for opened, closed, not_closed, idle_h_s in sessions:
        body += struct.pack("<ddBd", opened, closed, not_closed, idle_h_s)
    return sealed(body)


SEEDS = {
    "v2_demo.HMR": v2(300, 60, b"Demo", []),
    "v2_sessions.HMR": v2(600, 120, b"Sample", [
        (DAY, DAY + 1 / 24, 0, 600, b"anna"),
        (DAY + 1, DAY + 1 + 30 / 86400, 0, 0, b"bert"),
        (DAY + 2, DAY + 2 + 7200 / 86400, 1, 100, "J\u00fcrgen".encode()),
    ]),
    "v2_empty_name.HMR": v2(60, 3600, b"", [(DAY, DAY, 1, 0, b"")]),
    "v1_old.HMR": v1(0.0833333, 1 / 60, b"Old", [
        (DAY, DAY + 2 / 24, 0, 0.5),
        (DAY + 3, DAY + 3 + 1 / 24, 1, 0.0),
    ]),
    "v1_empty.HMR": v1(0.25, 0.5, b"", []),
}

ANNA = (DAY, DAY + 1 / 24, 0, 600, b"anna")
BERT = (DAY + 1, DAY + 1 + 30 / 86400, 0, 0, b"bert")
RUNNING = (DAY + 2, DAY + 2 + 600 / 86400, 1, 0, b"anna")
CLOSED = (DAY + 2, DAY + 2 + 7200 / 86400, 0, 100, b"anna")
CARL = (DAY + 3, DAY + 3 + 3600 / 86400, 0, 0, b"carl")


def damaged(image):
    return image[:20] + bytes([image[20] ^ 0x40]) + image[21:]


MERGE_SEEDS = {
    "same_file": [SEEDS["v2_sessions.HMR"]] * 3,
    "added_on_both": [v2(300, 60, b"P", [ANNA]), v2(300, 60, b"P", [ANNA, BERT]),
                      v2(300, 60, b"P", [ANNA, CARL])],
    "removed_and_changed": [v2(300, 60, b"P", [ANNA, BERT, RUNNING]),
                            v2(300, 120, b"P", [ANNA, RUNNING]),
                            v2(300, 60, b"P", [ANNA, BERT, CLOSED])],
    "changed_on_both": [v2(300, 60, b"P", [RUNNING]), v2(600, 60, b"P", [CLOSED]),
                        v2(900, 60, b"Q", [RUNNING[:1] + (DAY + 2.5,) + RUNNING[2:]])],
    "empty_base": [b"", SEEDS["v2_sessions.HMR"], SEEDS["v1_old.HMR"]],
    "version_1": [SEEDS["v1_old.HMR"], SEEDS["v1_old.HMR"], SEEDS["v2_empty_name.HMR"]],
    "damaged_side": [SEEDS["v2_demo.HMR"], SEEDS["v2_sessions.HMR"],
                     damaged(SEEDS["v2_sessions.HMR"])],
}

if __name__ == "__main__":
    os.makedirs(HERE, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)
    os.makedirs(MERGE_HERE, exist_ok=True)
    for name, sides in MERGE_SEEDS.items():
        with open(os.path.join(MERGE_HERE, name), "wb") as f:
            f.write(SEPARATOR.join(sides))
