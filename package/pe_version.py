"""Reads the version resource of a Windows binary (what Explorer's Properties page shows):
the fixed file and product versions and the strings of the first string table.

    read_version(path) -> {"FileVersion": "0.1.0", ..., "fixed file": (0, 1, 0, 0), ...}

Raises ValueError for a file that is not a PE image or has no version resource.
"""
import struct

RT_VERSION = 16
RESOURCE_DIRECTORY = 2
FIXED_FILE_INFO_SIGNATURE = 0xFEEF04BD


def _sections(data, pe):
    count, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    table = pe + 24 + optional_size
    for i in range(count):
        size, rva, raw_size, raw = struct.unpack_from("<IIII", data, table + 40 * i + 8)
        yield rva, max(size, raw_size), raw


def _file_offset(data, pe, rva):
    for start, size, raw in _sections(data, pe):
        if start <= rva < start + size:
            return raw + rva - start
    raise ValueError("address %#x lies in no section" % rva)


def _first_entry(data, directory, base):
    """The first entry of a resource directory: (is a directory, offset from base)."""
    named, numbered = struct.unpack_from("<HH", data, directory + 12)
    if named + numbered == 0:
        raise ValueError("empty resource directory")
    _, target = struct.unpack_from("<II", data, directory + 16)
    return bool(target & 0x80000000), base + (target & 0x7FFFFFFF)


def _version_block(data):
    if data[:2] != b"MZ":
        raise ValueError("not an MZ image")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("no PE header")
    magic = struct.unpack_from("<H", data, pe + 24)[0]
    directories = pe + 24 + (96 if magic == 0x10B else 112)
    rva, size = struct.unpack_from("<II", data, directories + 8 * RESOURCE_DIRECTORY)
    if size == 0:
        raise ValueError("no resources")
    root = _file_offset(data, pe, rva)
    named, numbered = struct.unpack_from("<HH", data, root + 12)
    for i in range(named + numbered):
        ident, target = struct.unpack_from("<II", data, root + 16 + 8 * i)
        if ident == RT_VERSION and target & 0x80000000:
            # type -> name -> language -> data entry
            name_dir = root + (target & 0x7FFFFFFF)
            _, language_dir = _first_entry(data, name_dir, root)
            is_dir, entry = _first_entry(data, language_dir, root)
            if is_dir:
                raise ValueError("malformed version resource")
            data_rva, data_size = struct.unpack_from("<II", data, entry)
            start = _file_offset(data, pe, data_rva)
            return data[start:start + data_size]
    raise ValueError("no version resource")


def _children(block, start, end):
    """Yields (key, value bytes, value type, children start, end) of the blocks in
    block[start:end]; each block: length, value length, type, key, padding, value, children."""
    while start + 6 <= end:
        length, value_length, value_type = struct.unpack_from("<HHH", block, start)
        if length == 0:
            break
        key_end = block.index(b"\0\0", start + 6)
        while (key_end - start) % 2:
            key_end = block.index(b"\0\0", key_end + 1)
        key = block[start + 6:key_end].decode("utf-16-le")
        value_start = (key_end + 2 + 3) & ~3
        value_bytes = value_length * 2 if value_type == 1 else value_length
        value = block[value_start:value_start + value_bytes]
        children = (value_start + value_bytes + 3) & ~3
        yield key, value, value_type, children, start + length
        start = (start + length + 3) & ~3


def read_version(path):
    with open(path, "rb") as f:
        block = _version_block(f.read())
    result = {}
    for key, value, _, children, end in _children(block, 0, len(block)):
        if key != "VS_VERSION_INFO":
            raise ValueError("version resource starts with %r" % key)
        fixed = struct.unpack_from("<13I", value)
        if fixed[0] != FIXED_FILE_INFO_SIGNATURE:
            raise ValueError("no fixed file information")
        for name, high, low in (("fixed file", fixed[2], fixed[3]),
                                ("fixed product", fixed[4], fixed[5])):
            result[name] = (high >> 16, high & 0xFFFF, low >> 16, low & 0xFFFF)
        for info, _, _, tables, info_end in _children(block, children, end):
            if info != "StringFileInfo":
                continue
            for _, _, _, strings, table_end in _children(block, tables, info_end):
                for name, text, _, _, _ in _children(block, strings, table_end):
                    result[name] = text.decode("utf-16-le").rstrip("\0")
                break
    return result
