"""Reads the directory and the uncompressed section of a CHM (ITSF) file."""
import struct


def _encint(data, pos):
    value = 0
    while True:
        byte = data[pos]
        pos += 1
        value = (value << 7) | (byte & 0x7F)
        if byte < 0x80:
            return value, pos


class Chm:
    def __init__(self, path):
        with open(path, 'rb') as f:
            self.data = f.read()
        d = self.data
        if d[:4] != b'ITSF':
            raise ValueError('not an ITSF file')
        version, header_len = struct.unpack_from('<II', d, 4)
        # Header section table: section 0 (file size), section 1 (directory).
        dir_offset, dir_len = struct.unpack_from('<QQ', d, 0x48)
        self.content_offset = struct.unpack_from('<Q', d, 0x58)[0] if version >= 3 else dir_offset + dir_len
        itsp = d[dir_offset:dir_offset + dir_len]
        if itsp[:4] != b'ITSP':
            raise ValueError('no ITSP directory')
        itsp_len, = struct.unpack_from('<I', itsp, 8)
        chunk_size, = struct.unpack_from('<I', itsp, 0x10)
        chunk_count, = struct.unpack_from('<I', itsp, 0x2C)
        self.entries = {}
        for i in range(chunk_count):
            chunk = itsp[itsp_len + i * chunk_size: itsp_len + (i + 1) * chunk_size]
            if chunk[:4] != b'PMGL':
                continue
            free_space, = struct.unpack_from('<I', chunk, 4)
            pos, end = 0x14, chunk_size - free_space
            while pos < end:
                name_len, pos = _encint(chunk, pos)
                name = chunk[pos:pos + name_len].decode('utf-8')
                pos += name_len
                section, pos = _encint(chunk, pos)
                offset, pos = _encint(chunk, pos)
                length, pos = _encint(chunk, pos)
                self.entries[name] = (section, offset, length)

    def names(self):
        return sorted(self.entries)

    def read(self, name):
        """Bytes of a file stored in the uncompressed section 0."""
        section, offset, length = self.entries[name]
        if section != 0:
            raise ValueError(name + ' is compressed')
        start = self.content_offset + offset
        return self.data[start:start + length]
