"""TZif data made by the tests themselves (RFC 8536), so that they need no
time zone database: a small writer and a zone like Paris's."""
import struct


def tzif(transitions=(), types=((0, False, "UTC"),), footer=None, version=b"2"):
    """TZif bytes: transitions as (UTC seconds, type index), types as (offset,
    isdst, abbreviation); version 1 data only, or version 1 data and 64-bit
    data with a footer."""
    chars, places = b"", []
    for _, _, name in types:
        places.append(len(chars))
        chars += name.encode() + b"\0"

    def block(size):
        times = b"".join(struct.pack(">q" if size == 8 else ">i", t) for t, _ in transitions)
        kinds = bytes(kind for _, kind in transitions)
        local = b"".join(struct.pack(">iBB", offset, dst, at) for (offset, dst, _), at in zip(types, places))
        header = b"TZif" + (version if version != b"1" else b"\0") + bytes(15)
        header += struct.pack(">6l", 0, 0, 0, len(transitions), len(types), len(chars))
        return header + times + kinds + local + chars

    if version == b"1":
        return block(4)
    return block(4) + block(8) + b"\n" + (footer or "").encode() + b"\n"


# Paris since 1911, with its table cut short after 2024: local mean time, then
# CET and CEST, and the rule from the last transition on.
PARIS = tzif([(-1855958901, 1), (1711846800, 2), (1729990800, 1)],
             [(561, False, "LMT"), (3600, False, "CET"), (7200, True, "CEST")], "CET-1CEST,M3.5.0,M10.5.0/3")
