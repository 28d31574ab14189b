#!/usr/bin/env python3
"""Writes the hostile archives the archive readers are tested against.

Every file is small (well under 4 KiB) and made by hand here, field by field,
so that it can say what no honest writer says: names that climb out of the
extract folder, links, duplicates, sizes and counts that lie. The layouts
follow the public descriptions of the formats: the ZIP APPNOTE, the Microsoft
cabinet format, the LHA header levels 0 to 2 and RFC 1951 (Deflate).

Run it from anywhere; it rewrites tests/data/hostile/{lha,zip,bh,cab}/ next
to itself. The output is the same on every run.
"""

import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

# A DOS date and time (2025-01-01 00:00) for every entry.
DOS_TIME = (45 << 25) | (1 << 21) | (1 << 16)
# An absolute name no run may ever create.
ABSOLUTE = "/tmp/talvor_hostile_escape.txt"

# A Deflate stream of 2 MiB of zeros: about 2 KiB, inflating ~1000 times.
BOMB_PLAIN = 2 * 1024 * 1024
# What the bombs declare as their original size.
BOMB_DECLARED = 4096


def raw_deflate(data, level=9):
    c = zlib.compressobj(level, zlib.DEFLATED, -15)
    return c.compress(data) + c.flush()


BOMB_STREAM = raw_deflate(bytes(BOMB_PLAIN))


def crc32(data):
    return zlib.crc32(data) & 0xFFFFFFFF


def crc16(data):
    crc = 0
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


def b(text):
    return text.encode("latin-1") if isinstance(text, str) else text


# ---------------------------------------------------------------------------
# LHA

def lha_level0(name, data, method="-lh0-", original=None, crc=None, attributes=0x20):
    """A level-0 header: size byte (name + 22), checksum, then the fields."""
    name = b(name)
    original = len(data) if original is None else original
    crc = crc16(data) if crc is None else crc
    body = (b(method) + struct.pack("<III", len(data), original, DOS_TIME)
            + bytes([attributes, 0, len(name)]) + name + struct.pack("<H", crc))
    header = bytes([len(name) + 22, sum(body) & 0xFF]) + body
    return header + data


def lha_level0_packed(name, packed, data, method, original, crc):
    """Level 0 with a packed size that need not match the data present."""
    name = b(name)
    body = (b(method) + struct.pack("<III", packed, original, DOS_TIME)
            + bytes([0x20, 0, len(name)]) + name + struct.pack("<H", crc))
    return bytes([len(name) + 22, sum(body) & 0xFF]) + body + data


def lha_level2(extended, data, method="-lh0-", original=None, crc=None):
    """A level-2 header; `extended` is a list of (type, bytes)."""
    original = len(data) if original is None else original
    crc = crc16(data) if crc is None else crc
    ext = [bytes([t]) + b(v) for t, v in extended]
    total = 26 + sum(len(e) + 2 for e in ext)
    if total & 0xFF == 0:  # a size byte of 0 reads as the archive's end
        ext[-1] += b"\0"
        total += 1
    h = (struct.pack("<H", total) + b(method)
         + struct.pack("<IIIBBHB", len(data), original, 1735689600, 0x20, 2, crc, ord("U")))
    h += struct.pack("<H", len(ext[0]) + 2 if ext else 0)
    for i, e in enumerate(ext):
        h += e + struct.pack("<H", len(ext[i + 1]) + 2 if i + 1 < len(ext) else 0)
    assert len(h) == total
    return h + data


class BitWriter:
    """Bits most significant first, as the LHA static-Huffman methods take them."""

    def __init__(self):
        self.bits = []

    def put(self, value, count):
        for i in reversed(range(count)):
            self.bits.append((value >> i) & 1)

    def data(self):
        bits = self.bits + [0] * (-len(self.bits) % 8)
        return bytes(int("".join(map(str, bits[i:i + 8])), 2) for i in range(0, len(bits), 8))


def lha_match_bomb(position_bits, blocks):
    """Blocks whose three code tables each hold a single symbol: the
    literal/length code says "match of 256 bytes" and the position code
    "distance 1", both in zero bits. Each block of 65535 such symbols stands
    for 16 MiB of output in 7 or 8 bytes."""
    w = BitWriter()
    for _ in range(blocks):
        w.put(0xFFFF, 16)  # symbols in the block
        w.put(0, 5)  # pre-code: one symbol ...
        w.put(0, 5)  # ... number 0
        w.put(0, 9)  # literal/length code: one symbol ...
        w.put(509, 9)  # ... a match of 256 bytes
        w.put(0, position_bits)  # position code: one symbol ...
        w.put(0, position_bits)  # ... distance 1
    return w.data()


def lha_literal_block(text):
    """One block of literals only, each coded in 8 bits (a flat code for the
    256 byte values)."""
    w = BitWriter()
    w.put(len(text), 16)
    # The pre-code holds the single symbol 10 ("length 8"), coded in zero
    # bits: each of the 256 literal lengths that follow reads as 8.
    w.put(0, 5)
    w.put(10, 5)
    w.put(256, 9)
    w.put(0, 4)
    w.put(0, 4)  # position code: one symbol, never used
    for ch in b(text):
        w.put(ch, 8)
    return w.data()


def make_lha():
    ok = lha_level0("ok.txt", b"fine")
    spaces = b" " * BOMB_DECLARED
    return {
        "dotdot.lzh": lha_level0("..\\evil.txt", b"x") + ok,
        "dotdot_slash.lzh": lha_level0("../evil.txt", b"x") + ok,
        "dotdot_after_folder.lzh": lha_level0("a\\..\\..\\evil.txt", b"x") + ok,
        "absolute_slash.lzh": lha_level0(ABSOLUTE, b"x") + ok,
        "absolute_backslash.lzh": lha_level0("\\abs.txt", b"x") + ok,
        "drive_backslash.lzh": lha_level0("C:\\drive.txt", b"x") + ok,
        "drive_relative.lzh": lha_level0("C:drive.txt", b"x") + ok,
        "drive_dotdot.lzh": lha_level0("C:..\\evil.txt", b"x") + ok,
        # Level 2: the folder comes in its own extended header, 0xFF between
        # the folders.
        "level2_folder_climbs.lzh":
            lha_level2([(0x01, "evil.txt"), (0x02, "..\xff..\xff")], b"x") + ok,
        "level2_folder_climbs_late.lzh":
            lha_level2([(0x01, "evil.txt"), (0x02, "a\xff..\xff..\xff")], b"x") + ok,
        "level2_name_climbs.lzh":
            lha_level2([(0x01, "..\xffevil.txt"), (0x02, "a\xff")], b"x") + ok,
        "level2_folder_absolute.lzh":
            lha_level2([(0x01, "abs.txt"), (0x02, "\xfftmp\xff")], b"x") + ok,
        # UNIX symbolic links: -lhd- entries named "link|target".
        "symlink_then_write_through.lzh":
            lha_level0("lnk|..\\..", b"", method="-lhd-", crc=0)
            + lha_level0("lnk\\evil.txt", b"x") + ok,
        "symlink_absolute_target.lzh":
            lha_level2([(0x01, "lnk|/tmp")], b"", method="-lhd-", crc=0)
            + lha_level2([(0x01, "evil.txt"), (0x02, "lnk\xff")], b"x") + ok,
        "duplicate_names.lzh":
            lha_level0("same.txt", b"first") + lha_level0("same.txt", b"second!") + ok,
        "file_then_folder_of_same_name.lzh":
            lha_level0("d", b"file") + lha_level0("d\\x.txt", b"x") + ok,
        "folder_then_file_of_same_name.lzh":
            lha_level0("d", b"", method="-lhd-", crc=0) + lha_level0("d", b"file") + ok,
        # Sizes that lie.
        "huge_declared_stored.lzh":
            ok + lha_level0("huge.txt", b"tiny", original=0xFFFFFFFF),
        "huge_declared_lh5.lzh":
            ok + lha_level0("huge.txt", lha_literal_block("tiny"), method="-lh5-",
                            original=0xFFFFFFFF),
        "lh5_bomb.lzh":
            lha_level0("bomb.txt", lha_match_bomb(4, 3), method="-lh5-",
                       original=BOMB_DECLARED, crc=crc16(spaces)) + ok,
        "lh6_bomb.lzh":
            lha_level0("bomb.txt", lha_match_bomb(5, 3), method="-lh6-",
                       original=BOMB_DECLARED, crc=crc16(spaces)) + ok,
        "lh7_bomb_huge_declared.lzh":
            ok + lha_level0("bomb.txt", lha_match_bomb(5, 1), method="-lh7-",
                            original=0xFFFFFFFF, crc=0),
        "packed_past_end.lzh":
            ok + lha_level0_packed("cut.txt", 0x7FFFFFFF, b"only", "-lh0-", 0x7FFFFFFF, 0),
        "packed_past_end_lh5.lzh":
            ok + lha_level0_packed("cut.txt", 0x10000, lha_literal_block("tiny")[:5], "-lh5-",
                                   4, 0),
    }


# ---------------------------------------------------------------------------
# ZIP

UNIX_SYMLINK = 0o120777 << 16
UNIX_FILE = 0o100644 << 16


def zip_archive(entries, count=None, comment=b""):
    """entries: dicts with name, data (as stored), method, crc, packed,
    original, external, made (version made by), local_name."""
    local = b""
    central = b""
    for e in entries:
        name = b(e["name"])
        data = e.get("data", b"")
        method = e.get("method", 0)
        plain = e.get("plain", data if method == 0 else None)
        crc = e.get("crc", crc32(plain) if plain is not None else 0)
        packed = e.get("packed", len(data))
        original = e.get("original", len(plain) if plain is not None else 0)
        made = e.get("made", 20)
        external = e.get("external", 0x20)
        extra = e.get("extra", b"")
        local_name = b(e.get("local_name", e["name"]))
        offset = e.get("local_offset", len(local))
        local += struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, method, DOS_TIME & 0xFFFF,
                             DOS_TIME >> 16, crc, packed, original, len(local_name), 0)
        local += local_name + data
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, made, 20, 0, method,
                               DOS_TIME & 0xFFFF, DOS_TIME >> 16, crc, packed, original,
                               len(name), len(extra), 0, 0, 0, external, offset)
        central += name + extra
    n = len(entries) if count is None else count
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, n, n, len(central), len(local),
                      len(comment)) + comment
    return local + central + end


def zip_with_zip64_end(entries, count):
    """A ZIP64 end record (with its locator) that claims `count` entries."""
    plain = zip_archive(entries)
    end_at = len(plain) - 22
    directory_at, = struct.unpack_from("<I", plain, end_at + 16)
    directory_size, = struct.unpack_from("<I", plain, end_at + 12)
    body = plain[:end_at]
    end64 = struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, count, count,
                        directory_size, directory_at)
    locator = struct.pack("<IIQI", 0x07064B50, 0, len(body), 1)
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 0xFFFF, 0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0)
    return body + end64 + locator + end


def stored(name, data, **more):
    return dict(name=name, data=b(data), **more)


def make_zip():
    ok = stored("ok.txt", "fine")
    zeros = bytes(BOMB_DECLARED)
    return {
        "dotdot.zip": zip_archive([stored("../evil.txt", "x"), ok]),
        "dotdot_deep.zip": zip_archive([stored("../../../../../../tmp/evil.txt", "x"), ok]),
        "dotdot_backslash.zip": zip_archive([stored("..\\evil.txt", "x"), ok]),
        "dotdot_after_folder.zip": zip_archive([stored("a/../../evil.txt", "x"), ok]),
        "dotdot_after_folder_backslash.zip":
            zip_archive([stored("a\\b\\..\\..\\..\\evil.txt", "x"), ok]),
        "dotdot_only.zip": zip_archive([stored("..", "x"), stored("a/..", "y"), ok]),
        "nul_in_name.zip": zip_archive([stored("nul\0/../../evil.txt", "x"), ok]),
        "empty_and_dot_names.zip":
            zip_archive([stored("", "x"), stored(".", "y"), stored("./", ""), stored("a/./.", "z"),
                         ok]),
        "absolute_slash.zip": zip_archive([stored(ABSOLUTE, "x"), ok]),
        "absolute_backslash.zip": zip_archive([stored("\\abs.txt", "x"), ok]),
        "drive_backslash.zip": zip_archive([stored("C:\\drive.txt", "x"), ok]),
        "drive_relative.zip": zip_archive([stored("C:drive.txt", "x"), ok]),
        "drive_dotdot.zip": zip_archive([stored("C:..\\evil.txt", "x"), ok]),
        # The central directory's name is the one that counts; the local
        # header's differs.
        "local_name_climbs.zip":
            zip_archive([stored("safe.txt", "x", local_name="../evil.txt"), ok]),
        # UNIX symbolic links: S_IFLNK in the external attributes, the target
        # as the data; then entries written "through" the link.
        "symlink_then_write_through.zip":
            zip_archive([stored("lnk", "..", made=0x0314, external=UNIX_SYMLINK),
                         stored("lnk/evil.txt", "x", made=0x0314, external=UNIX_FILE), ok]),
        "symlink_absolute_target.zip":
            zip_archive([stored("lnk", "/tmp", made=0x0314, external=UNIX_SYMLINK),
                         stored("lnk/evil.txt", "x", made=0x0314, external=UNIX_FILE), ok]),
        "symlink_onto_existing_name.zip":
            zip_archive([stored("ok.txt", "fine"),
                         stored("ok.txt", "../sibling", made=0x0314, external=UNIX_SYMLINK)]),
        "duplicate_names.zip":
            zip_archive([stored("same.txt", "first"), stored("same.txt", "second!"), ok]),
        "file_then_folder_of_same_name.zip":
            zip_archive([stored("d", "file"), stored("d/x.txt", "x"), ok]),
        "folder_then_file_of_same_name.zip":
            zip_archive([stored("d/", ""), stored("d", "file"), ok]),
        # Sizes that lie.
        "huge_declared_stored.zip":
            zip_archive([ok, stored("huge.txt", "tiny", packed=0xFFFFFFFF, original=0xFFFFFFFF)]),
        "huge_declared_deflate.zip":
            zip_archive([ok, dict(name="huge.txt", data=raw_deflate(b"tiny"), method=8,
                                  plain=b"tiny", original=0xFFFFFFFF)]),
        "huge_declared_zip64.zip":
            zip_archive([ok, dict(name="huge.txt", data=raw_deflate(b"tiny"), method=8,
                                  plain=b"tiny", original=0xFFFFFFFF,
                                  extra=struct.pack("<HHQ", 1, 8, 0xFFFFFFFFFFFFFFFF))]),
        "deflate_bomb.zip":
            zip_archive([dict(name="bomb.txt", data=BOMB_STREAM, method=8, crc=crc32(zeros),
                              original=BOMB_DECLARED), ok]),
        "deflate_bomb_huge_declared.zip":
            zip_archive([ok, dict(name="bomb.txt", data=BOMB_STREAM, method=8, crc=0,
                                  original=0xFFFFFFFF)]),
        "deflate_bomb_zip64_declared.zip":
            zip_archive([dict(name="bomb.txt", data=BOMB_STREAM, method=8, crc=crc32(zeros),
                              original=0xFFFFFFFF,
                              extra=struct.pack("<HHQ", 1, 8, BOMB_DECLARED)), ok]),
        "packed_past_end.zip":
            zip_archive([ok, stored("cut.txt", "only", packed=0x7FFFFFF0, original=0x7FFFFFF0)]),
        "packed_past_end_deflate.zip":
            zip_archive([ok, dict(name="cut.txt", data=raw_deflate(b"some text " * 20)[:6],
                                  method=8, plain=b"some text " * 20, packed=0x10000)]),
        "packed_claims_more_than_the_file.zip":
            zip_archive([ok, dict(name="big.txt", data=raw_deflate(b"x" * 5000), method=8,
                                  plain=b"x" * 5000, original=10, packed=0x1000003)]),
        "local_offset_past_end.zip":
            zip_archive([ok, stored("far.txt", "x", local_offset=0x7FFFFF00)]),
        "zip64_local_offset_near_2_63.zip":
            zip_archive([ok, stored("far.txt", "x", local_offset=0xFFFFFFFF,
                                    extra=struct.pack("<HHQ", 1, 8, 0x7FFFFFFFFFFFFF00))]),
        "entry_count_far_too_large.zip": zip_archive([ok], count=0xFFFF),
        "zip64_entry_count_far_too_large.zip": zip_with_zip64_end([ok], 0xFFFFFFFFFFFFFFFF),
    }


# ---------------------------------------------------------------------------
# BH

def bh_entry(name, data, method=0, crc=None, packed=None, original=None, attributes=0x20,
             plain=None):
    name = b(name)
    plain = data if plain is None else plain
    crc = crc32(plain) if crc is None else crc
    packed = len(data) if packed is None else packed
    original = len(plain) if original is None else original
    header = struct.pack("<IHBBBBBIIIIHIHH", 0x07054842, 37 + len(name), 37, 6, 8, 0, method,
                         DOS_TIME, packed, original, crc, attributes, 0, len(name), 0)
    assert len(header) == 37
    return header + name + data


def make_bh():
    ok = bh_entry("ok.txt", b"fine")
    zeros = bytes(BOMB_DECLARED)
    return {
        "dotdot.bh": bh_entry("..\\evil.txt", b"x") + ok,
        "dotdot_slash.bh": bh_entry("../evil.txt", b"x") + ok,
        "dotdot_after_folder.bh": bh_entry("a\\..\\..\\evil.txt", b"x") + ok,
        "absolute_slash.bh": bh_entry(ABSOLUTE, b"x") + ok,
        "absolute_backslash.bh": bh_entry("\\abs.txt", b"x") + ok,
        "drive_backslash.bh": bh_entry("C:\\drive.txt", b"x") + ok,
        "drive_relative.bh": bh_entry("C:drive.txt", b"x") + ok,
        "duplicate_names.bh": bh_entry("same.txt", b"first") + bh_entry("same.txt", b"second!")
                              + ok,
        "file_then_folder_of_same_name.bh": bh_entry("d", b"file") + bh_entry("d\\x.txt", b"x")
                                            + ok,
        "folder_then_file_of_same_name.bh":
            bh_entry("d", b"", attributes=0x10) + bh_entry("d", b"file") + ok,
        "huge_declared_stored.bh": ok + bh_entry("huge.txt", b"tiny", original=0xFFFFFFFF),
        "huge_declared_deflate.bh":
            ok + bh_entry("huge.txt", raw_deflate(b"tiny"), method=8, plain=b"tiny",
                          original=0xFFFFFFFF),
        "deflate_bomb.bh":
            bh_entry("bomb.txt", BOMB_STREAM, method=8, crc=crc32(zeros), original=BOMB_DECLARED)
            + ok,
        "deflate_bomb_huge_declared.bh":
            ok + bh_entry("bomb.txt", BOMB_STREAM, method=8, crc=0, original=0xFFFFFFFF),
        "lh6_bomb.bh":
            bh_entry("bomb.txt", lha_match_bomb(5, 3), method=3,
                     crc=crc32(b" " * BOMB_DECLARED), original=BOMB_DECLARED) + ok,
        "packed_past_end.bh":
            ok + bh_entry("cut.txt", b"only", packed=0x7FFFFFF0, original=0x7FFFFFF0),
        "packed_past_end_deflate.bh":
            ok + bh_entry("cut.txt", raw_deflate(b"some text " * 20)[:6], method=8,
                          plain=b"some text " * 20, packed=0x10000),
        "long_name_skipped.bh": bh_entry("n" * 300, b"x") + ok,
    }


# ---------------------------------------------------------------------------
# Cabinet

def cab_archive(files, folders, blocks_of_folder, count_files=None, count_folders=None,
                flags=0, trailer=b""):
    """files: (name, size, offset in folder, folder index, attributes);
    folders: compression types; blocks_of_folder: per folder, a list of
    (stored data, declared uncompressed size, declared block count or None)."""
    header_size = 36
    trailer_at = header_size
    folder_at = trailer_at + len(trailer)
    files_at = folder_at + 8 * len(folders)
    file_records = b""
    for name, size, offset, index, attributes in files:
        file_records += struct.pack("<IIHHHH", size, offset, index, DOS_TIME >> 16,
                                    DOS_TIME & 0xFFFF, attributes) + b(name) + b"\0"
    data_at = files_at + len(file_records)
    folder_records = b""
    data = b""
    for i, kind in enumerate(folders):
        blocks = blocks_of_folder[i]
        declared = len(blocks) if blocks and blocks[0][2] is None else blocks[0][2] if blocks else 0
        folder_records += struct.pack("<IHH", data_at + len(data), declared, kind)
        for stored_data, uncompressed, _ in blocks:
            data += struct.pack("<IHH", 0, len(stored_data), uncompressed) + stored_data
    total = data_at + len(data)
    n_files = len(files) if count_files is None else count_files
    n_folders = len(folders) if count_folders is None else count_folders
    head = struct.pack("<4sIIIIIBBHHHHH", b"MSCF", 0, total, 0, files_at, 0, 3, 1, n_folders,
                       n_files, flags, 0x1234, 0)
    assert len(head) == header_size
    return head + trailer + folder_records + file_records + data


def mszip_block(plain):
    return b"CK" + raw_deflate(plain)


def make_cab():
    def simple(names_and_data, kind=0, **more):
        """Stored (kind 0) or MSZIP (kind 1) files in one folder."""
        files = []
        plain = b""
        for name, content in names_and_data:
            files.append((name, len(content), len(plain), 0, 0x20))
            plain += b(content)
        block = mszip_block(plain) if kind == 1 else plain
        return cab_archive(files, [kind], [[(block, len(plain), None)]], **more)

    ok = ("ok.txt", b"fine")
    zero_block = mszip_block(bytes(32768))
    return {
        "dotdot.cab": simple([("..\\evil.txt", b"x"), ok]),
        "dotdot_slash.cab": simple([("../evil.txt", b"x"), ok]),
        "dotdot_after_folder.cab": simple([("a\\..\\..\\evil.txt", b"x"), ok]),
        "absolute_slash.cab": simple([(ABSOLUTE, b"x"), ok]),
        "absolute_backslash.cab": simple([("\\abs.txt", b"x"), ok]),
        "drive_backslash.cab": simple([("C:\\drive.txt", b"x"), ok]),
        "drive_relative.cab": simple([("C:drive.txt", b"x"), ok]),
        # The name flagged as UTF-8 (attribute 0x80), climbing with "..".
        "utf8_dotdot.cab": cab_archive([("..\\\xc3\xa9vil.txt", 1, 0, 0, 0xA0), ("ok.txt", 4, 1, 0, 0x20)],
                                       [0], [[(b"xfine", 5, None)]]),
        "duplicate_names.cab": simple([("same.txt", b"first"), ("same.txt", b"second!"), ok]),
        "file_then_folder_of_same_name.cab": simple([("d", b"file"), ("d\\x.txt", b"x"), ok]),
        # 32 KiB blocks of zeros, each a few dozen bytes of MSZIP, and a file
        # that declares only 4 KiB of them.
        "mszip_bomb.cab": cab_archive([("bomb.txt", BOMB_DECLARED, 0, 0, 0x20)], [1],
                                      [[(zero_block, 32768, None)] * 60]),
        # A block that declares 100 bytes and inflates to 32 KiB.
        "mszip_block_larger_than_declared.cab":
            cab_archive([("bomb.txt", 100, 0, 0, 0x20), ("ok.txt", 4, 100, 0, 0x20)], [1],
                        [[(zero_block, 104, None)]]),
        "huge_declared_file.cab":
            cab_archive([("ok.txt", 4, 0, 0, 0x20), ("huge.txt", 0xFFFFFFFF, 4, 0, 0x20)], [0],
                        [[(b"finetiny", 8, None)]]),
        "file_past_folder_end.cab":
            cab_archive([("ok.txt", 4, 0, 0, 0x20), ("far.txt", 1000, 0x7FFF0000, 0, 0x20)],
                        [0], [[(b"fine", 4, None)]]),
        "block_past_end.cab":
            (lambda c: c[:-4])(simple([("ok.txt", b"fine"), ("cut.txt", b"only")])),
        "block_count_far_too_large.cab":
            cab_archive([("ok.txt", 4, 0, 0, 0x20)], [0], [[(b"fine", 4, 0xFFFF)]]),
        "file_count_far_too_large.cab": simple([ok], count_files=0xFFFF),
        "folder_count_far_too_large.cab": simple([ok], count_folders=0xFFFF),
        "folder_index_out_of_range.cab":
            cab_archive([("ok.txt", 4, 0, 0, 0x20), ("lost.txt", 4, 0, 7, 0x20)], [0],
                        [[(b"fine", 4, None)]]),
        # Files continued from or into cabinets that are not there.
        "continued_from_missing_cabinet.cab":
            cab_archive([("prev.txt", 4, 0, 0xFFFD, 0x20), ("ok.txt", 4, 0, 0, 0x20)], [0],
                        [[(b"fine", 4, None)]]),
        # The next cabinet of the set named as a path out of the folder, then
        # as the canary file beside the archive (no cabinet).
        "next_cabinet_outside.cab":
            cab_archive([("ok.txt", 4, 0, 0, 0x20)], [0], [[(b"fine", 4, None)]], flags=0x0002,
                        trailer=b"../outside.cab\0DISK2\0"),
        "next_cabinet_is_canary.cab":
            cab_archive([("ok.txt", 4, 0, 0, 0x20)], [0], [[(b"fine", 4, None)]], flags=0x0002,
                        trailer=b"canary\0DISK2\0"),
    }


def main():
    for folder, fixtures in (("lha", make_lha()), ("zip", make_zip()), ("bh", make_bh()),
                             ("cab", make_cab())):
        path = os.path.join(HERE, folder)
        os.makedirs(path, exist_ok=True)
        for old in os.listdir(path):
            os.remove(os.path.join(path, old))
        for name, data in sorted(fixtures.items()):
            assert len(data) < 4096, (name, len(data))
            with open(os.path.join(path, name), "wb") as out:
                out.write(data)
        print(f"{folder}: {len(fixtures)} archives")


if __name__ == "__main__":
    main()
