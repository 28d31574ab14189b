#!/usr/bin/env python3
"""Reference model of the pass-phrase key derivation and the BLOWFISH block
cipher, written separately from the C++ code. It produced the known-answer
tables in key_derivation_test.cpp and blowfish_test.cpp; it is not part of
the build. Run it to print those tables again.

pi comes from Gauss's formula here, pi/4 = 12 atan(1/18) + 8 atan(1/57)
- 5 atan(1/239), so the tables are not taken from the generator in src/.
"""

MASK = 0xFFFFFFFF
PI_WORDS = 18 + 4 * 256


def pi_words():
    guard = 64
    bits = 32 * PI_WORDS + guard
    one = 1 << bits

    def atan_inv(x):
        term, total, k, x2 = one // x, 0, 0, x * x
        while term:
            total += term // (2 * k + 1) if k % 2 == 0 else -(term // (2 * k + 1))
            term //= x2
            k += 1
        return total

    pi = 4 * (12 * atan_inv(18) + 8 * atan_inv(57) - 5 * atan_inv(239))
    frac = (pi - 3 * one) >> guard
    return [(frac >> (32 * (PI_WORDS - 1 - i))) & MASK for i in range(PI_WORDS)]


PI = pi_words()
PI_BYTES = b"".join(w.to_bytes(4, "big") for w in PI[:64])


def le_words(data):
    return [int.from_bytes(data[i:i + 4], "little") for i in range(0, len(data), 4)]


def le_bytes(words):
    return b"".join((w & MASK).to_bytes(4, "little") for w in words)


# --- key derivation ---------------------------------------------------------

# (target, source, shift, left?) for the xor part of each of the eight lines;
# every line first does x[a] += x[a-1], x[a-1] += x[a] (indices mod 4).
QUAD_LINES = [(0, 0, 7, False), (1, 1, 13, True), (2, 2, 17, False), (3, 3, 9, True),
              (0, 0, 3, False), (1, 1, 7, True), (2, 3, 15, False), (3, 3, 11, True)]


def mix_quad(x):
    x = list(x)
    for target, source, shift, left in QUAD_LINES:
        prev = (target - 1) % 4
        x[target] = (x[target] + x[prev]) & MASK
        x[prev] = (x[prev] + x[target]) & MASK
        v = x[source]
        x[target] ^= (v << shift) & MASK if left else v >> shift
    return x


SUBKEY_SHIFTS = [(11, True), (2, False), (8, True), (16, False),
                 (10, True), (4, False), (8, True), (9, False)]


def subkey_mix(m):
    m = list(m)
    for i, (shift, left) in enumerate(SUBKEY_SHIFTS):
        n = m[(i + 1) % 8]
        m[i] ^= (n << shift) & MASK if left else n >> shift
        m[(i + 3) % 8] = (m[(i + 3) % 8] + m[i]) & MASK
        m[(i + 1) % 8] = (m[(i + 1) % 8] + m[(i + 2) % 8]) & MASK
    return m


def mix_cipher_subkeys(key, steps, encrypt):
    k = le_words(key)
    subkeys = []
    for salt in (0x55555555, 0xAAAAAAAA, 0x33333333, 0xCCCCCCCC):
        m = [k[0], salt, k[1], salt, k[2], salt, k[3], salt]
        for _ in range(8):
            m = subkey_mix(m)
        subkeys += [(m[0], m[1]), (m[2], m[3]), (m[4], m[5]), (m[6], m[7])]
    steps = max(4, min(16, steps))
    if not encrypt:
        subkeys = subkeys[:steps][::-1] + subkeys[steps:]
    return steps, subkeys


def mix_cipher_block(steps, subkeys, block):
    w = le_words(block)
    r, l = w[0:2], w[2:4]
    for step in range(steps):
        lo, hi = subkeys[step]
        x = mix_quad([r[0], lo, r[1], hi])
        x = mix_quad([x[2], x[3], x[0], x[1]])
        l, r = r, [l[0] ^ x[0] ^ x[1], l[1] ^ x[2] ^ x[3]]
    return le_bytes(l + r)


def absorb_all(passphrase):
    """The digest state after the pass phrase and the closing pad: (Digest
    before enciphering, side-state Key bytes, number of bytes absorbed)."""
    digest = bytearray(PI_BYTES)
    side = bytearray(b"\x55" * 16)
    absorbed = 0

    def absorb(b):
        nonlocal absorbed
        digest[absorbed % 256] ^= b
        side[absorbed % 8] ^= b
        absorbed += 1
        if absorbed % 8 == 0:
            k = le_words(side)
            x = [k[3], k[2], k[1], k[0]]
            for _ in range(4):
                x = mix_quad(x)
            side[:] = le_bytes(x)

    for b in passphrase:
        absorb(b)
    pad = [1, 0, 0, 0, 0, 0, 0, 0]
    for b in pad[:8 - absorbed % 8]:
        absorb(b)
    return bytes(digest), bytes(side), absorbed


def derive_key(passphrase, size=16):
    digest, side, _ = absorb_all(passphrase)
    steps, subkeys = mix_cipher_subkeys(side, 8, True)
    out = b"".join(mix_cipher_block(steps, subkeys, digest[i:i + 16])
                   for i in range(0, 256, 16))
    return out[:max(0, min(size, 256))]


# --- BLOWFISH ---------------------------------------------------------------

def blowfish_f(s, x):
    return ((((s[0][x >> 24] + s[1][(x >> 16) & 255]) & MASK) ^ s[2][(x >> 8) & 255])
            + s[3][x & 255]) & MASK


def blowfish_encipher(p, s, left, right):
    fl, fr = blowfish_f(s, left), blowfish_f(s, right)
    left ^= p[0]
    for i in range(1, 16, 2):
        right ^= p[i] ^ fl
        left ^= p[i + 1] ^ fr
    return left, right ^ p[17]


def blowfish_init(key):
    p = list(PI[:18])
    s = [list(PI[18 + 256 * k:18 + 256 * (k + 1)]) for k in range(4)]
    stream = key * 5  # 72 bytes, enough for 18 words
    for i in range(18):
        p[i] ^= int.from_bytes(stream[4 * i:4 * i + 4], "big")
    left = right = 0
    for i in range(0, 18, 2):
        left, right = blowfish_encipher(p, s, left, right)
        p[i], p[i + 1] = left, right
    for box in s:
        for j in range(0, 256, 2):
            left, right = blowfish_encipher(p, s, left, right)
            box[j], box[j + 1] = left, right
    return p, s


def blowfish_block(p, s, block):
    w = le_words(block)
    return le_bytes(blowfish_encipher(p, s, w[0], w[1]))


def c_words(words):
    return "{" + ", ".join("0x{:08X}".format(w) for w in words) + "}"


def c_string(data):
    return '"' + "".join(chr(b) if 32 <= b < 127 and chr(b) not in '"\\' else
                         "\\x{:02X}".format(b) for b in data) + '"'


# Pass phrases of the known-key table.
PHRASES = [b"", b"a", b"A", b"abcdefgh", b"MY SECRET PHRASE", b"pass\xe9phrase\xff",
           bytes(range(256)) + b"wrap"]


def main():
    assert mix_quad([1, 2, 3, 4]) == [0x03F37DC9, 0xF96D90F7, 0xFCF0EB44, 0xC9E4E3BB]
    assert subkey_mix(list(range(1, 9))) == [0x04795161, 0x04691D3B, 0x40647E64, 0x0000100F,
                                            0x40442D18, 0x00102425, 0x04691D36, 0x4054695C]
    assert PI[0] == 0x243F6A88 and PI[17] == 0x8979FB1B and PI[18] == 0xD1310BA6
    assert PI[-1] == 0x3AC372E6

    x = [0xFFFFFFFF, 0x80000000, 0x12345678, 0xDEADBEEF]
    print("MixQuad: {} -> {}".format(c_words(x), c_words(mix_quad(x))))

    print("Mixing cipher, key 00..0F, block 0x64..0x73:")
    key, block = bytes(range(16)), bytes(range(0x64, 0x74))
    for steps in (4, 8, 16):
        n, subkeys = mix_cipher_subkeys(key, steps, True)
        _, reverse = mix_cipher_subkeys(key, steps, False)
        out = mix_cipher_block(n, subkeys, block)
        assert mix_cipher_block(n, reverse, out) == block
        print("  steps {}: {}".format(steps, out.hex()))

    print("Side state after the closing pad:")
    for phrase in (b"", b"abcdefgh"):
        _, side, absorbed = absorb_all(phrase)
        print("  {} ({} absorbed): {}".format(c_string(phrase), absorbed, side.hex()))

    print("Pass phrase -> first 16 key bytes:")
    for phrase in PHRASES:
        label = c_string(phrase) if len(phrase) < 100 else "bytes 0..255, then \"wrap\""
        print("  {}: {}".format(label, derive_key(phrase).hex()))
    print("  key bytes 240..255 of the empty pass phrase:", derive_key(b"", 256)[240:].hex())

    print("Initial S-box checksums (sum of (j + 1) * S[k][j] mod 2^32):")
    for k in range(4):
        box = PI[18 + 256 * k:18 + 256 * (k + 1)]
        print("  box {}: 0x{:08X}".format(k, sum((j + 1) * w for j, w in enumerate(box)) & MASK))

    print("BLOWFISH keyed from a pass phrase: E(0 block), P[0], P[17] after keying")
    for phrase in (b"", b"a", b"MY SECRET PHRASE"):
        p, s = blowfish_init(derive_key(phrase))
        zero = blowfish_block(p, s, bytes(8)).hex()
        print("  {}: {} 0x{:08X} 0x{:08X}".format(c_string(phrase), zero, p[0], p[17]))


if __name__ == "__main__":
    main()
