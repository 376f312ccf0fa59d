#!/usr/bin/env python3
"""Checks the compiled resources of Tarnwell.exe against the layout the code relies on.

Usage: python3 tools/rescheck/rescheck.py Tarnwell.res|Tarnwell.exe VERSION

Reads a binary .res file (windres -O res, or rc.exe output) or the resource
section of the linked executable, and compares every
dialog template (caption, font, style, extended style, menu and each control's
class, id, text, rectangle, style and extended style), the menu bar, the string
table, the version record (against VERSION, the project version a.b.c.d the
build was configured with), the icon group and the manifest with the tables
below. Compiling the .rc text is not enough to trust it: resource compilers add
and drop style bits of their own, so the compiled bytes are what is checked.
Prints each check and exits with 1 on any mismatch.
"""

import re
import struct
import sys
import xml.etree.ElementTree as ET

RT_ICON, RT_MENU, RT_DIALOG, RT_STRING, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 4, 5, 6, 14, 16, 24
LANG_EN_US = 0x0409
DS_SETFONT, DS_SHELLFONT = 0x40, 0x48
MF_POPUP, MF_END = 0x10, 0x80

# Predefined control classes stored as ordinals in templates.
CLASS_ORDINALS = {0x80: 'Button', 0x81: 'Edit', 0x82: 'Static', 0x83: 'ListBox',
                  0x84: 'ScrollBar', 0x85: 'ComboBox'}

NO_ID = -1
MAIN_STYLE, DIALOG_STYLE = 0x90C800C8, 0x80C800C8
LABEL_STYLE = 0x50020000
WS_EX_STATICEDGE, WS_EX_DLGMODALFRAME, WS_EX_APPWINDOW = 0x20000, 0x1, 0x40000


def ctl(cid, cls, text, rect, style, exstyle=0):
    return {'id': cid, 'class': cls, 'text': text, 'rect': rect, 'style': style, 'exstyle': exstyle}


# Font: (face, points, weight, italic, charset).
DIALOGS = {
    102: {
        'name': 'IDD_MAIN_DIALOG', 'caption': 'Quellmoor', 'rect': (0, 0, 438, 295),
        'style': MAIN_STYLE, 'exstyle': WS_EX_APPWINDOW, 'menu': 130,
        'font': ('MS Shell Dlg', 8, 0, 0, 1),
        'controls': [
            ctl(1001, 'ListBox', '', (7, 67, 424, 108), 0x50A10981, WS_EX_STATICEDGE),
            ctl(1004, 'Edit', '', (7, 15, 397, 12), 0x50800880, WS_EX_STATICEDGE),
            ctl(1005, 'Button', 'File', (408, 13, 23, 14), 0x50010000),
            ctl(NO_ID, 'Static', 'Download File:', (7, 7, 55, 8), LABEL_STYLE),
            ctl(1006, 'Edit', '', (7, 187, 424, 101), 0x50800884, WS_EX_STATICEDGE),
            ctl(1015, 'msctls_progress32', '', (7, 40, 424, 14), 0x50800000),
            ctl(NO_ID, 'Static', 'Progress:', (8, 32, 38, 8), LABEL_STYLE),
            ctl(NO_ID, 'Static', 'Units:', (9, 59, 28, 8), LABEL_STYLE),
            ctl(NO_ID, 'Static', 'Status:', (7, 179, 28, 8), LABEL_STYLE),
        ],
    },
    100: {
        'name': 'IDD_ABOUTBOX', 'caption': 'About Tarnwell', 'rect': (0, 0, 170, 62),
        'style': DIALOG_STYLE, 'exstyle': 0, 'menu': None,
        'font': ('MS Shell Dlg', 8, 0, 0, 1),
        'controls': [
            ctl(NO_ID, 'Static', 128, (14, 14, 21, 20), 0x50000003),
            ctl(NO_ID, 'Static', 'Tarnwell, Version 1.0', (42, 14, 114, 8), 0x50020080),
            ctl(1, 'Button', 'OK', (113, 41, 50, 14), 0x50030001),
        ],
    },
    104: {
        'name': 'IDD_PING_SPECIFIC', 'caption': 'Ping Specific IP', 'rect': (0, 0, 152, 67),
        'style': DIALOG_STYLE, 'exstyle': 0, 'menu': None,
        'font': ('MS Shell Dlg', 8, 0, 0, 0),
        'controls': [
            ctl(1, 'Button', 'OK', (15, 38, 50, 14), 0x50010001),
            ctl(2, 'Button', 'Cancel', (83, 38, 50, 14), 0x50010000),
            ctl(1021, 'SysIPAddress32', '', (7, 15, 138, 13), 0x50010000),
            ctl(NO_ID, 'Static', 'Enter IP Address to ping', (7, 7, 83, 8), LABEL_STYLE),
        ],
    },
    131: {
        'name': 'IDD_PING_LIST', 'caption': 'Enter IP Address List', 'rect': (0, 0, 213, 183),
        'style': DIALOG_STYLE, 'exstyle': 0, 'menu': None,
        'font': ('MS Shell Dlg', 8, 400, 0, 1),
        'controls': [
            ctl(1, 'Button', 'OK', (131, 146, 50, 14), 0x50010001),
            ctl(2, 'Button', 'Cancel', (131, 162, 50, 14), 0x50010000),
            ctl(1013, 'Edit', '', (7, 7, 97, 169), 0x50810084, WS_EX_DLGMODALFRAME),
            ctl(NO_ID, 'Static', 'Ctrl + Enter for new line.\r\nFormat: xxx.xxx.xxx.xxx',
                (109, 31, 94, 31), LABEL_STYLE),
        ],
    },
}

# (text, command) for a command item, (text, [items]) for a pop-up.
MENU_ID = 130
MENU = [
    ('Ping', [('Specific', 32778), ('List', 32779)]),
    ('Search', 32775),
    ('Download', 32776),
    ('Exit', 2),
]

STRINGS = {101: '&About Tarnwell...', 103: 'Windows sockets initialization failed.'}

VERSION_FLAGS = {'FileFlagsMask': 0x3F, 'FileFlags': 0, 'FileOS': 0x4, 'FileType': 0x1}
VERSION_TABLE = '040904e4'
VERSION_NAMES = {'InternalName': 'Tarnwell.exe', 'OriginalFilename': 'Tarnwell.exe'}
VERSION_TRANSLATION = [0x0409, 1252]

ICON_GROUP = 128
# (pixels, colour count byte, bits per pixel, stored as PNG)
ICON_IMAGES = ([(s, 16, 4, False) for s in (48, 32, 24, 16)]
               + [(s, 0, 8, False) for s in (48, 32, 24, 16)]
               + [(s, 0, 32, False) for s in (48, 32, 24, 16)]
               + [(256, 0, 32, True)])

MANIFEST_ID = 1
COMMON_CONTROLS = {'type': 'win32', 'name': 'Microsoft.Windows.Common-Controls',
                   'version': '6.0.0.0', 'publicKeyToken': '6595b64144ccf1df', 'language': '*'}
# The program is 64-bit; "x86" here would keep Windows from starting it.
ARCHITECTURES = ('amd64', '*')


class Checker:
    def __init__(self):
        self.failures = 0

    def equal(self, what, actual, expected):
        ok = actual == expected
        print(f"{'ok  ' if ok else 'FAIL'} {what}: {actual!r}" + ('' if ok else f' (expected {expected!r})'))
        if not ok:
            self.failures += 1
        return ok

    def true(self, what, condition, detail=''):
        print(f"{'ok  ' if condition else 'FAIL'} {what}" + (f': {detail}' if detail else ''))
        if not condition:
            self.failures += 1
        return condition


class Reader:
    def __init__(self, data, pos=0):
        self.data = data
        self.pos = pos

    def unpack(self, fmt):
        values = struct.unpack_from('<' + fmt, self.data, self.pos)
        self.pos += struct.calcsize('<' + fmt)
        return values if len(values) > 1 else values[0]

    def align(self, n=4):
        self.pos = (self.pos + n - 1) // n * n

    def sz(self):
        end = self.pos
        while self.data[end:end + 2] != b'\0\0':
            end += 2
        text = self.data[self.pos:end].decode('utf-16-le')
        self.pos = end + 2
        return text

    def sz_or_ord(self):
        """A string, or an int for an ordinal (0xFFFF, id), or None for an empty field."""
        first = struct.unpack_from('<H', self.data, self.pos)[0]
        if first == 0xFFFF:
            self.pos += 2
            return self.unpack('H')
        if first == 0:
            self.pos += 2
            return None
        return self.sz()


def parse_res(data):
    """Yields (type, name, language, data) for every resource after the empty leading entry."""
    r = Reader(data)
    while r.pos + 8 <= len(data):
        start = r.pos
        size, header_size = r.unpack('II')
        rtype = r.sz_or_ord()
        name = r.sz_or_ord()
        r.align()
        _, _, language, _, _ = r.unpack('IHHII')
        body = data[start + header_size:start + header_size + size]
        r.pos = start + header_size + size
        r.align()
        if size or rtype != 0 or name != 0:
            yield rtype, name, language, body


def parse_pe(data):
    """Yields (type, name, language, data) for every leaf of an executable's resource tree."""
    pe = struct.unpack_from('<I', data, 0x3C)[0]
    if data[pe:pe + 4] != b'PE\0\0':
        raise ValueError('not a PE file')
    sections, optional_size = struct.unpack_from('<H12xH', data, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from('<H', data, optional)[0]
    directories = optional + (112 if magic == 0x20B else 96)
    rsrc_rva, _ = struct.unpack_from('<II', data, directories + 2 * 8)
    table = optional + optional_size
    spans = [struct.unpack_from('<8xIIII', data, table + 40 * i) for i in range(sections)]

    def offset(rva):
        for virtual_size, address, raw_size, raw_pointer in spans:
            if address <= rva < address + max(virtual_size, raw_size):
                return raw_pointer + rva - address
        raise ValueError(f'address {rva:#x} is in no section')

    if not rsrc_rva:
        return
    base = offset(rsrc_rva)

    def entries(directory):
        named, ids = struct.unpack_from('<12xHH', data, base + directory)
        for i in range(named + ids):
            name, target = struct.unpack_from('<II', data, base + directory + 16 + 8 * i)
            if name & 0x80000000:
                length = struct.unpack_from('<H', data, base + (name & 0x7FFFFFFF))[0]
                start = base + (name & 0x7FFFFFFF) + 2
                name = data[start:start + 2 * length].decode('utf-16-le')
            yield name, target

    for rtype, names in entries(0):
        for name, languages in entries(names & 0x7FFFFFFF):
            for language, leaf in entries(languages & 0x7FFFFFFF):
                rva, size = struct.unpack_from('<II', data, base + leaf)
                yield rtype, name, language, data[offset(rva):offset(rva) + size]


def parse_dialog(data):
    r = Reader(data)
    version, signature = r.unpack('HH')
    dlg = {'extended': version == 1 and signature == 0xFFFF}
    if not dlg['extended']:
        return dlg
    _, dlg['exstyle'], dlg['style'], count = r.unpack('IIIH')
    dlg['rect'] = r.unpack('hhhh')
    dlg['menu'] = r.sz_or_ord()
    dlg['class'] = r.sz_or_ord()
    dlg['caption'] = r.sz()
    dlg['font'] = None
    if dlg['style'] & DS_SETFONT:
        points, weight, italic, charset = r.unpack('HHBB')
        dlg['font'] = (r.sz(), points, weight, italic, charset)
    dlg['controls'] = []
    for _ in range(count):
        r.align()
        _, exstyle, style = r.unpack('III')
        rect = r.unpack('hhhh')
        cid = r.unpack('i')
        cls = r.sz_or_ord()
        text = r.sz_or_ord()
        extra = r.unpack('H')
        r.pos += extra
        dlg['controls'].append({'id': cid, 'class': cls, 'text': '' if text is None else text,
                                'rect': rect, 'style': style, 'exstyle': exstyle})
    return dlg


def check_dialog(c, dialog_id, data, want):
    label = f"{want['name']} ({dialog_id})"
    dlg = parse_dialog(data)
    if not c.true(f'{label} is an extended template', dlg['extended']):
        return
    for field in ('caption', 'rect', 'menu', 'font'):
        c.equal(f'{label} {field}', dlg[field], want[field])
    c.equal(f'{label} style', hex(dlg['style']), hex(want['style']))
    c.equal(f'{label} extended style', hex(dlg['exstyle']), hex(want['exstyle']))
    c.equal(f'{label} window class', dlg['class'], None)
    if not c.equal(f'{label} control count', len(dlg['controls']), len(want['controls'])):
        return
    for n, (got, exp) in enumerate(zip(dlg['controls'], want['controls']), 1):
        where = f'{label} control {n}'
        c.equal(f'{where} id', got['id'], exp['id'])
        # Window classes are looked up without regard to case (windres upper-cases the names
        # it stores); the predefined ones may be stored as ordinals.
        cls = got['class']
        name = CLASS_ORDINALS.get(cls, f'unknown ordinal {cls:#x}') if isinstance(cls, int) else cls
        shown = f'{name} (ordinal {cls:#x})' if isinstance(cls, int) else repr(cls)
        c.true(f"{where} class {exp['class']}", name.lower() == exp['class'].lower(), shown)
        c.equal(f'{where} text', got['text'], exp['text'])
        c.equal(f'{where} rect', got['rect'], exp['rect'])
        c.equal(f'{where} style', hex(got['style']), hex(exp['style']))
        c.equal(f'{where} extended style', hex(got['exstyle']), hex(exp['exstyle']))


def parse_menu_items(r):
    items = []
    while True:
        flags = r.unpack('H')
        if flags & MF_POPUP:
            text = r.sz()
            items.append((text, parse_menu_items(r), flags & ~(MF_POPUP | MF_END)))
        else:
            command = r.unpack('H')
            items.append((r.sz(), command, flags & ~MF_END))
        if flags & MF_END:
            return items


def check_menu(c, data):
    r = Reader(data)
    c.equal('menu header (version, offset)', r.unpack('HH'), (0, 0))
    items = parse_menu_items(r)

    def plain(entries):
        return [(text, plain(sub) if isinstance(sub, list) else sub) for text, sub, _ in entries]

    def flags(entries):
        out = []
        for _, sub, f in entries:
            out.append(f)
            if isinstance(sub, list):
                out += flags(sub)
        return out

    c.equal('menu IDR_MAIN_MENU items', plain(items), MENU)
    c.equal('menu item flags besides pop-up and end (grey, check, break...)', set(flags(items)), {0})


def check_strings(c, blocks):
    strings = {}
    for block_id, data in blocks.items():
        r = Reader(data)
        for i in range(16):
            length = r.unpack('H')
            text = data[r.pos:r.pos + 2 * length].decode('utf-16-le')
            r.pos += 2 * length
            if length:
                strings[(block_id - 1) * 16 + i] = text
    c.equal('string table', strings, STRINGS)


def parse_version_node(data, pos):
    """Returns (key, value bytes, is_text, children, end) of one version-record node."""
    length, value_length, is_text = struct.unpack_from('<HHH', data, pos)
    end = pos + length
    r = Reader(data, pos + 6)
    key = r.sz()
    r.align()
    value_size = value_length * 2 if is_text else value_length
    value = data[r.pos:r.pos + value_size]
    r.pos += value_size
    r.align()
    children = []
    while r.pos < end:
        child = parse_version_node(data, r.pos)
        children.append(child)
        r.pos = child[4]
        r.align()
    return key, value, is_text, children, end


def text_value(value):
    return value.decode('utf-16-le').rstrip('\0')


def version_expected(version):
    """The fixed part's fields and the strings a version record of VERSION ('a.b.c.d') holds."""
    a, b, c, d = (int(n) for n in version.split('.'))
    fixed = dict(VERSION_FLAGS, FileVersionMS=a << 16 | b, FileVersionLS=c << 16 | d,
                 ProductVersionMS=a << 16 | b, ProductVersionLS=c << 16 | d)
    return fixed, dict(VERSION_NAMES, FileVersion=version, ProductVersion=version)


def check_version(c, data, version):
    expected_fixed, expected_strings = version_expected(version)
    key, value, _, children, _ = parse_version_node(data, 0)
    c.equal('version record key', key, 'VS_VERSION_INFO')
    names = ('Signature', 'StrucVersion', 'FileVersionMS', 'FileVersionLS', 'ProductVersionMS',
             'ProductVersionLS', 'FileFlagsMask', 'FileFlags', 'FileOS', 'FileType', 'FileSubtype',
             'FileDateMS', 'FileDateLS')
    if not c.equal('version fixed part size', len(value), 52):
        return
    fixed = dict(zip(names, struct.unpack('<13I', value)))
    c.equal('version signature', hex(fixed['Signature']), hex(0xFEEF04BD))
    for name, expected in expected_fixed.items():
        c.equal(f'version {name}', hex(fixed[name]), hex(expected))
    blocks = {child[0]: child for child in children}
    c.equal('version blocks', sorted(blocks), ['StringFileInfo', 'VarFileInfo'])
    if 'StringFileInfo' in blocks:
        tables = {t[0]: t for t in blocks['StringFileInfo'][3]}
        c.equal('version string tables', sorted(tables), [VERSION_TABLE])
        if VERSION_TABLE in tables:
            strings = {s[0]: text_value(s[1]) for s in tables[VERSION_TABLE][3]}
            c.equal(f'version strings in {VERSION_TABLE}', strings, expected_strings)
    if 'VarFileInfo' in blocks:
        entries = {v[0]: v[1] for v in blocks['VarFileInfo'][3]}
        c.equal('version VarFileInfo entries', sorted(entries), ['Translation'])
        if 'Translation' in entries:
            raw = entries['Translation']
            c.equal('version translation', list(struct.unpack(f'<{len(raw) // 2}H', raw)),
                    VERSION_TRANSLATION)


def check_icon_image(c, where, data, size, bits, png):
    if png:
        ok = c.true(f'{where} is PNG', data[:8] == b'\x89PNG\r\n\x1a\n')
        if ok and c.equal(f'{where} PNG first chunk', data[12:16], b'IHDR'):
            w, h, depth, colour_type = struct.unpack_from('>IIBB', data, 16)
            c.equal(f'{where} PNG size, bit depth, colour type', (w, h, depth, colour_type),
                    (size, size, 8, 6))
        return
    header_size, w, h, planes, bit_count, compression = struct.unpack_from('<IiiHHI', data, 0)
    c.equal(f'{where} bitmap header', (header_size, w, h, planes, bit_count, compression),
            (40, size, 2 * size, 1, bits, 0))
    palette = 4 << bits if bits <= 8 else 0
    xor = (size * bits + 31) // 32 * 4 * size
    mask = (size + 31) // 32 * 4 * size
    c.equal(f'{where} byte count (header, palette, colour and mask planes)', len(data),
            40 + palette + xor + mask)


def check_icons(c, groups, icons):
    if not c.true(f'icon group IDR_MAINFRAME ({ICON_GROUP}) exists', ICON_GROUP in groups):
        return
    r = Reader(groups[ICON_GROUP])
    c.equal('icon group header (reserved, type)', r.unpack('HH'), (0, 1))
    count = r.unpack('H')
    if not c.equal('icon group image count', count, len(ICON_IMAGES)):
        return
    for n, (size, colours, bits, png) in enumerate(ICON_IMAGES, 1):
        width, height, colour_count, _, planes, bit_count, byte_count, icon_id = r.unpack('BBBBHHIH')
        where = f'icon image {n} ({size} px, {bits} bpp{", PNG" if png else ""})'
        dim = size % 256
        c.equal(f'{where} directory entry', (width, height, colour_count, planes, bit_count),
                (dim, dim, colours, 1, bits))
        if not c.true(f'{where} image resource {icon_id} exists', icon_id in icons):
            continue
        c.equal(f'{where} size in directory matches image', byte_count, len(icons[icon_id]))
        check_icon_image(c, where, icons[icon_id], size, bits, png)


def check_manifest(c, data):
    try:
        root = ET.fromstring(data)
    except ET.ParseError as error:
        c.true('manifest is well-formed XML', False, str(error))
        return
    v1, v3 = '{urn:schemas-microsoft-com:asm.v1}', '{urn:schemas-microsoft-com:asm.v3}'
    c.equal('manifest root', root.tag, v1 + 'assembly')
    c.equal('manifest version', root.get('manifestVersion'), '1.0')
    levels = root.findall(f'.//{v3}requestedExecutionLevel')
    if c.equal('manifest execution level entries', len(levels), 1):
        c.equal('manifest execution level', (levels[0].get('level'), levels[0].get('uiAccess')),
                ('asInvoker', 'false'))
    deps = root.findall(f'{v1}dependency/{v1}dependentAssembly/{v1}assemblyIdentity')
    if not c.equal('manifest dependencies', len(deps), 1):
        return
    dep = deps[0]
    c.equal('manifest common controls identity', {k: dep.get(k) for k in COMMON_CONTROLS},
            COMMON_CONTROLS)
    arch = dep.get('processorArchitecture')
    c.true('manifest common controls architecture fits a 64-bit program', arch in ARCHITECTURES,
           repr(arch))


def main(argv):
    if len(argv) != 3 or not re.fullmatch(r'\d+\.\d+\.\d+\.\d+', argv[2]):
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    with open(argv[1], 'rb') as f:
        data = f.read()
    resources = list(parse_pe(data) if data[:2] == b'MZ' else parse_res(data))
    c = Checker()

    wrong_language = [(t, n, hex(lang)) for t, n, lang, _ in resources if lang != LANG_EN_US]
    c.equal('resources not in US English', wrong_language, [])
    by_type = {}
    for rtype, name, _, data in resources:
        if by_type.setdefault(rtype, {}).setdefault(name, data) is not data:
            c.true(f'resource type {rtype} name {name} is defined once', False)
    inventory = {t: sorted(names) for t, names in by_type.items()}
    c.equal('resource inventory', inventory, {
        RT_ICON: list(range(1, len(ICON_IMAGES) + 1)), RT_GROUP_ICON: [ICON_GROUP],
        RT_DIALOG: sorted(DIALOGS), RT_MENU: [MENU_ID], RT_STRING: sorted({i // 16 + 1 for i in STRINGS}),
        RT_VERSION: [1], RT_MANIFEST: [MANIFEST_ID]})

    dialogs = by_type.get(RT_DIALOG, {})
    for dialog_id, want in DIALOGS.items():
        if c.true(f"dialog {want['name']} ({dialog_id}) exists", dialog_id in dialogs):
            check_dialog(c, dialog_id, dialogs[dialog_id], want)
    if c.true(f'menu {MENU_ID} exists', MENU_ID in by_type.get(RT_MENU, {})):
        check_menu(c, by_type[RT_MENU][MENU_ID])
    check_strings(c, by_type.get(RT_STRING, {}))
    if c.true('version record 1 exists', 1 in by_type.get(RT_VERSION, {})):
        check_version(c, by_type[RT_VERSION][1], argv[2])
    check_icons(c, by_type.get(RT_GROUP_ICON, {}), by_type.get(RT_ICON, {}))
    if c.true(f'manifest {MANIFEST_ID} exists', MANIFEST_ID in by_type.get(RT_MANIFEST, {})):
        check_manifest(c, by_type[RT_MANIFEST][MANIFEST_ID])

    print(f'{c.failures} mismatch(es)' if c.failures else 'all resources as expected')
    return 1 if c.failures else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
