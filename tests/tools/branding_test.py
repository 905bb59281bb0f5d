#!/usr/bin/python3
# The package's executable as Windows tools read it, checked with Debian's python3-pefile: packs
# with and without the publisher's resources keep PE headers that hold together (sections inside
# the file and inside the package offset, image size, resource directory, checksum over the whole
# file), leave every other section of the stub as it was, and carry the icon images and version
# texts asked for: as given when they fit, with the 256-pixel bitmaps as PNG pictures of the same
# pixels when they do not. Every refusal gives its exact message and writes nothing.
# usage: branding_test.py VORNIX STUB MAKE_ICON_SH
import os
import random
import re
import shutil
import struct
import subprocess
import sys
import tempfile

import pefile

vornix, stub_path, make_icon = sys.argv[1:4]
BASE = 339968
failures = 0
checks = 0


def check(name, condition, detail=""):
    global failures, checks
    checks += 1
    if not condition:
        failures += 1
        print(f"FAILED: {name}" + (f"\n  {detail}" if detail else ""))


def pack(out, *options):
    stub = [] if "--stub" in options else ["--stub", stub_path]
    title = [] if "--title" in options else ["--title", "Title"]
    command = [vornix, "pack", "--quiet", "-o", out, *title, "--publisher", "Publisher", "--note", "N", *stub,
               *options, readme]
    return subprocess.run(command, capture_output=True, text=True)


def resources(pe):
    """{(type, name, language): bytes} of a PE image."""
    found = {}
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for name in kind.directory.entries:
            for language in name.directory.entries:
                entry = language.data.struct
                key = (kind.id, str(name.name) if name.name else name.id, language.id)
                found[key] = pe.get_data(entry.OffsetToData, entry.Size)
    return found


def version_texts(pe):
    return {k.decode(): v.decode() for info in pe.FileInfo for e in info if hasattr(e, "StringTable")
            for table in e.StringTable for k, v in table.entries.items()}


def align(value, alignment):
    return (value + alignment - 1) // alignment * alignment


def check_headers(label, path, stub):
    data = open(path, "rb").read()
    # A full parse may change pefile's copy of the bytes (it rewrites some version texts in place),
    # so the checksum is taken from the headers alone.
    headers = pefile.PE(data=data, fast_load=True)
    check(f"{label}: the checksum is that of the whole file", headers.verify_checksum(),
          f"{headers.OPTIONAL_HEADER.CheckSum:#x} against {headers.generate_checksum():#x}")
    pe = pefile.PE(data=data)
    header = pe.OPTIONAL_HEADER
    end = 0
    for section in pe.sections:
        raw_end = section.PointerToRawData + section.SizeOfRawData
        check(f"{label}: {section.Name!r} lies inside the package offset", raw_end <= BASE)
        check(f"{label}: {section.Name!r} starts where the one before ends", section.SizeOfRawData == 0 or
              section.PointerToRawData >= end)
        end = max(end, raw_end if section.SizeOfRawData else end)
    last = pe.sections[-1]
    check(f"{label}: the image size ends with the last section",
          header.SizeOfImage == align(last.VirtualAddress + last.Misc_VirtualSize, header.SectionAlignment))
    rsrc = next(s for s in pe.sections if s.Name.startswith(b".rsrc"))
    directory = header.DATA_DIRECTORY[2]
    check(f"{label}: the resource directory is the section",
          (directory.VirtualAddress, directory.Size) == (rsrc.VirtualAddress, rsrc.Misc_VirtualSize))
    relocations = header.DATA_DIRECTORY[5]
    reloc = next(s for s in pe.sections if s.Name.startswith(b".reloc"))
    old_reloc = next(s for s in stub.sections if s.Name.startswith(b".reloc"))
    check(f"{label}: the relocations follow the resources, as they were",
          reloc.VirtualAddress > rsrc.VirtualAddress and reloc.get_data() == old_reloc.get_data() and
          relocations.VirtualAddress - reloc.VirtualAddress ==
          stub.OPTIONAL_HEADER.DATA_DIRECTORY[5].VirtualAddress - old_reloc.VirtualAddress)
    for old in stub.sections:
        if old.Name.startswith((b".rsrc", b".reloc")):
            continue
        new = next(s for s in pe.sections if s.Name == old.Name)
        check(f"{label}: {old.Name!r} is the stub's", new.get_data() == old.get_data() and
              new.VirtualAddress == old.VirtualAddress)
    check(f"{label}: the package follows at the offset", data[BASE:BASE + 2] == b"\x01\x00")
    return pe


def ico_images(path):
    """[(width, bits per pixel, bytes)] of an .ico file's images."""
    data = open(path, "rb").read()
    count = struct.unpack_from("<H", data, 4)[0]
    images = []
    for i in range(count):
        width, _, _, _, _, bits, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        images.append((width or 256, bits, data[offset:offset + size]))
    return images


def group_images(found):
    """[(width, bits per pixel, bytes)] of the images in a package's icon group."""
    group = found[(14, "MAINICON", 1033)]
    entries = [struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i) for i in range(struct.unpack_from("<H", group, 4)[0])]
    return [(entry[0] or 256, entry[5], found[(3, entry[7], 1033)]) for entry in entries]


def write_ico(path, images):
    """An .ico file of [(width, bits per pixel, bytes)]."""
    offset = 6 + 16 * len(images)
    entries = b""
    for width, bits, data in images:
        entries += struct.pack("<BBBBHHII", width % 256, width % 256, 0, 0, 1, bits, len(data), offset)
        offset += len(data)
    open(path, "wb").write(struct.pack("<HHH", 0, 1, len(images)) + entries + b"".join(d for _, _, d in images))


def bitmap(rgba, bits, alpha_bytes=True):
    """A 256-pixel icon bitmap of top-down RGBA pixels: a BITMAPINFOHEADER, the BGR or BGRA rows
    bottom-up, then the AND mask, set where alpha is 0. Without alpha_bytes a 32-bit bitmap's alpha
    bytes are all 0, as in bitmaps made before alpha existed."""
    colours, mask = [], []
    for y in reversed(range(256)):
        pixels = [rgba[i:i + 4] for i in range(y * 1024, (y + 1) * 1024, 4)]
        colours += [bytes((p[2], p[1], p[0], p[3] if alpha_bytes else 0)[:bits // 8]) for p in pixels]
        mask += [bytes(sum((p[3] == 0) << (7 - i) for i, p in enumerate(pixels[x:x + 8])) for x in range(0, 256, 8))]
    pixels = b"".join(colours) + b"".join(mask)
    return struct.pack("<IiiHHIIiiII", 40, 256, 512, 1, bits, 0, len(pixels), 0, 0, 0, 0) + pixels


def decoded(png):
    """A PNG picture's pixels as ImageMagick reads them: 8-bit RGBA, top row first."""
    return subprocess.run(["convert", "png:-", "rgba:-"], input=png, capture_output=True, check=True).stdout


def png_chunks(png):
    """The chunk types of a PNG file, in order."""
    chunks, at = [], 8
    while at < len(png):
        length, kind = struct.unpack_from(">I4s", png, at)
        chunks.append(kind)
        at += 12 + length
    return chunks


work = tempfile.mkdtemp()
readme = os.path.join(work, "readme.txt")
open(readme, "w").write("read me\n")
stub = pefile.PE(stub_path)
stub_resources = resources(stub)
icon = os.path.join(work, "publisher.ico")
subprocess.run(["bash", make_icon, icon], check=True)

# Without the options: the stub's icon, the package's texts, the stub's own version.
plain = os.path.join(work, "plain.exe")
check("a plain pack exits 0", pack(plain).returncode == 0)
pe = check_headers("plain", plain, stub)
found = resources(pe)
check("plain: icons and manifest are the stub's",
      all(found[k] == v for k, v in stub_resources.items() if k[0] in (3, 14, 24)) and
      {k for k in found if k[0] in (3, 14)} == {k for k in stub_resources if k[0] in (3, 14)})
check("plain: the version texts name the package", version_texts(pe) == {
    "CompanyName": "Publisher", "FileDescription": "Title", "FileVersion": "1.0", "ProductName": "Title",
    "ProductVersion": "1.0"}, version_texts(pe))
check("plain: the fixed version is the stub's", (pe.VS_FIXEDFILEINFO[0].FileVersionMS,
      pe.VS_FIXEDFILEINFO[0].FileVersionLS) == (stub.VS_FIXEDFILEINFO[0].FileVersionMS,
                                               stub.VS_FIXEDFILEINFO[0].FileVersionLS))

# With them: the publisher's icon in every size, the version and the copyright, whatever the code
# page holds.
branded = os.path.join(work, "branded.exe")
result = pack(branded, "--icon", icon, "--product-version", "3.4.5", "--copyright", "© Ωmega 出版",
              "--codepage", "1251", "--title", "Установка")
check("a branded pack exits 0", result.returncode == 0, result.stderr)
pe = check_headers("branded", branded, stub)
found = resources(pe)
check("branded: the group holds each image of the icon file, byte for byte", ico_images(icon) == group_images(found))
check("branded: no icon of the stub is left", len([k for k in found if k[0] == 3]) == len(ico_images(icon)))
check("branded: the manifest is the stub's", found[(24, 1, 1033)] == stub_resources[(24, 1, 1033)])
check("branded: the version texts", version_texts(pe) == {
    "CompanyName": "Publisher", "FileDescription": "Установка", "FileVersion": "3.4.5",
    "LegalCopyright": "© Ωmega 出版", "ProductName": "Установка", "ProductVersion": "3.4.5"}, version_texts(pe))
check("branded: the fixed version", (pe.VS_FIXEDFILEINFO[0].FileVersionMS, pe.VS_FIXEDFILEINFO[0].FileVersionLS,
                                     pe.VS_FIXEDFILEINFO[0].ProductVersionLS) == (0x30004, 0x50000, 0x50000))

# The room the stub leaves for the resources.
rsrc = next(s for s in stub.sections if s.Name.startswith(b".rsrc"))
reloc = next(s for s in stub.sections if s.Name.startswith(b".reloc"))
room = BASE - rsrc.PointerToRawData - reloc.SizeOfRawData


def png_icon(path, size):
    """An .ico of one PNG image of the given size in bytes (only its header need be a PNG's)."""
    png = b"\x89PNG\r\n\x1a\n" + struct.pack(">I4sIIBB", 13, b"IHDR", 256, 256, 8, 6) + b"\0" * (size - 26)
    open(path, "wb").write(struct.pack("<HHHBBBBHHII", 0, 1, 1, 0, 0, 0, 0, 1, 32, len(png), 22) + png)


# A publisher's icon file of 200 KB fits, as it is, beside the version information and manifest.
png_icon(os.path.join(work, "200k.ico"), 200 * 1024 - 22)
result = pack(os.path.join(work, "200k.exe"), "--icon", os.path.join(work, "200k.ico"))
check("an icon file of 200 KB fits", result.returncode == 0, result.stderr)

# An icon too large for the stub as it is: its 256-pixel bitmaps are stored as PNG pictures of the
# same pixels, one for each way Windows draws them (a 32-bit one by its alpha, one whose alpha bytes
# are all 0 and a 24-bit one through the AND mask, the colour kept where the mask hides it), and
# every other image as it was. The noise keeps the pictures large, as a publisher's photo-like icon.
noise = random.Random(7)
pictures = [
    ("the 32-bit bitmap", 32, True, bytes(c for y in range(256) for x in range(256)
                                          for c in (x, y ^ noise.getrandbits(2), 128, noise.choice((0, 255, x))))),
    ("the 32-bit bitmap without alpha", 32, False, bytes(c for y in range(256) for x in range(256) for c in
                                                         (x, 255 - y, 64, 0 if (x - 128) ** 2 + (y - 128) ** 2 < 4096
                                                          else 255))),
    ("the 24-bit bitmap", 24, False, bytes(c for y in range(256) for x in range(256)
                                           for c in (y, 32, x, 0 if x < y else 255))),
]
large_icon = os.path.join(work, "large.ico")
write_ico(large_icon, ico_images(icon) + [(256, bits, bitmap(rgba, bits, alpha)) for _, bits, alpha, rgba in pictures])
large = os.path.join(work, "large.exe")
result = pack(large, "--icon", large_icon)
check("large: the icon does not fit as it is", os.path.getsize(large_icon) > room, os.path.getsize(large_icon))
check("large: a pack with it exits 0", result.returncode == 0, result.stderr)
stored = group_images(resources(check_headers("large", large, stub)))
check("large: every other image is the icon file's, byte for byte", stored[:-3] == ico_images(icon))
for (label, bits, _, rgba), (width, stored_bits, png) in zip(pictures, stored[-3:]):
    check(f"large: {label} keeps its entry", (width, stored_bits) == (256, bits))
    check(f"large: {label} is an 8-bit RGBA PNG of IHDR, IDAT and IEND only", png[24:26] == b"\x08\x06" and
          set(png_chunks(png)) == {b"IHDR", b"IDAT", b"IEND"}, png_chunks(png))
    check(f"large: {label} is stored as a PNG of its very pixels", decoded(png) == rgba)

# Refusals, each before anything is written.
png_icon(os.path.join(work, "big.ico"), room - 22)
png_icon(os.path.join(work, "huge.ico"), (4 << 20) + 1 - 22)
open(os.path.join(work, "text.ico"), "w").write("not an icon at all\n")
open(os.path.join(work, "cursor.ico"), "wb").write(struct.pack("<HHH", 0, 2, 1) + b"\0" * 16)
stub_bytes = open(stub_path, "rb").read()
# A signed stub: its certificate table directory (the fifth) names a place.
security = stub.OPTIONAL_HEADER.DATA_DIRECTORY[4].get_file_offset()
signed_stub = os.path.join(work, "signed-stub.exe")
open(signed_stub, "wb").write(stub_bytes[:security] + struct.pack("<II", BASE - 8, 8) + stub_bytes[security + 8:])
tailed_stub = os.path.join(work, "tailed-stub.exe")
open(tailed_stub, "wb").write(stub_bytes[:-4] + b"tail")
mz_stub = os.path.join(work, "mz.exe")
open(mz_stub, "wb").write(b"MZ")
w = work
refusals = [
    (["--icon", f"{w}/text.ico"], 1, f"vornix: {w}/text.ico: not an icon file (its header is not an icon file's)"),
    (["--icon", f"{w}/cursor.ico"], 1, f"vornix: {w}/cursor.ico: not an icon file (it holds a cursor)"),
    (["--icon", f"{w}/missing.ico"], 1, f"vornix: {w}/missing.ico: cannot open the icon"),
    (["--icon", f"{w}/huge.ico"], 1, f"vornix: {w}/huge.ico: the icon is 4194305 bytes; vornix reads icons of at most "
     "4194304"),
    (["--icon", f"{w}/big.ico"], 1, re.compile(f"vornix: {w}/big.ico: the resources would take ([0-9]+) bytes; "
                                               f"the stub has room for {room}")),
    (["--product-version", "1.2.3.4.5"], 2, 'vornix pack: --product-version: "1.2.3.4.5" is not a version: give one to '
     "four numbers from 0 to 65535, as in 1.2.3.4 (try 'vornix pack --help')"),
    (["--product-version", "1.65536"], 2, None),
    (["--product-version", "1..2"], 2, None),
    (["--copyright", "c" * 256], 1, "vornix: --copyright: 256 characters; the version information takes at most 255"),
    (["--stub", mz_stub, "--icon", icon], 1,
     f"vornix: {mz_stub}: the stub is no PE image, so it takes no icon or version information"),
    (["--stub", signed_stub], 1,
     f"vornix: {signed_stub}: the stub cannot take the package's resources: it is signed: sign the package instead"),
    (["--stub", tailed_stub], 1,
     f"vornix: {tailed_stub}: the stub cannot take the package's resources: it carries data behind its last section"),
]
for options, code, message in refusals:
    out = os.path.join(work, "out", "p.exe")
    os.makedirs(os.path.dirname(out), exist_ok=True)
    result = pack(out, *options)
    name = " ".join(options)[:60]
    check(f"refused {name}: exit code {code}", result.returncode == code, result.returncode)
    if isinstance(message, re.Pattern):
        match = message.fullmatch(result.stderr.rstrip("\n"))
        check(f"refused {name}: message", match and int(match.group(1)) > room, result.stderr)
    elif message:
        check(f"refused {name}: message", result.stderr == message + "\n", result.stderr)
    check(f"refused {name}: nothing written", os.listdir(os.path.dirname(out)) == [])

shutil.rmtree(work)  # a 4 MiB icon among the files
print(f"{checks - failures} passed, {failures} failed")
sys.exit(1 if failures else 0)
