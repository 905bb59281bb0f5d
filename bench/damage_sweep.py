#!/usr/bin/python3
# The work behind bench/damage_sweep.sh; run with Debian's /usr/bin/python3, standard library only.
#
#   damage_sweep.py native --vornix V --stub S --work DIR [--seed N] [--damages N] [--jobs N]
#     Packs three packages from files of this machine (LZH, LZRW1/KH, auto), each with and without
#     the integrity record, damages them at random places of the package part (bit flips,
#     overwritten runs, cuts, appended tails), and asks vornix verify about every damaged copy;
#     a copy that verify lets through is extracted and compared with the files that were packed.
#     Exit 1 when verify let through a checked package with a changed byte, refused an unchanged
#     one, a let-through copy extracted wrong bytes from a checked package, or verify crashed.
#
#   damage_sweep.py wine --vornix V --stub S --work DIR --probe EXE --boxes EXE [--seed N] [--jobs N]
#     Runs the real stub under Wine (the wineserver and the X display are the caller's) on damaged
#     copies of a checked package whose run entry is damage_probe.exe, with damage_boxes.exe
#     answering the error boxes. Exit 1 when the stub ran the program with any wrong byte, hung,
#     left anything in its temporary folder, or when the unchecked controls, which are known to
#     unpack wrong bytes, did not show the probe seeing them.
#
# The package part is everything from PackageOffset to the end of the file; in a checked package
# all of it, up to the end of the integrity record, is covered by the record's hashes, and only
# bytes appended behind the record are not (docs/package-format.md).
import argparse
import concurrent.futures
import gzip
import json
import os
import random
import shutil
import subprocess
import sys
import time

PACKAGE_OFFSET = 339968
KINDS = ("flip", "overwrite", "cut", "append")
# Appended tails are rare on purpose: they are the only damage that changes no covered byte.
KIND_WEIGHTS = (40, 35, 20, 5)
REGIONS = ("header", "texts", "table", "names", "streams", "record")
VERIFY_TIMEOUT = 60
WINE_TIMEOUT = 40
# The lane's Wine loader (cmake/wine-env.sh exports it); Debian's wine script takes the 32-bit one.
WINE = os.environ.get("VORNIX_WINE", "wine")

WINE_DLLS = "/usr/lib/i386-linux-gnu/wine/i386-windows"
MAN1 = "/usr/share/man/man1"


def run(command, timeout, **options):
    """(exit code, stdout, stderr); a timeout gives the code None."""
    try:
        done = subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout, **options)
    except subprocess.TimeoutExpired:
        return None, "", "timed out"
    return done.returncode, done.stdout.decode("utf-8", "replace"), done.stderr.decode("utf-8", "replace")


def existing(paths, want):
    found = [p for p in paths if os.path.isfile(p)]
    if len(found) < want:
        sys.exit(f"damage_sweep: only {len(found)} of the files {paths} are on this machine; {want} are needed")
    return found[:want]


def unzipped_man_pages(names, folder, want):
    """Man pages of section 1 written out as plain text (the .gz of a man page is the ordinary file,
    its text is what a real package would carry)."""
    os.makedirs(folder, exist_ok=True)
    out = []
    for name in names:
        source = os.path.join(MAN1, name + ".1.gz")
        if not os.path.isfile(source):
            continue
        target = os.path.join(folder, name + ".1")
        with gzip.open(source, "rb") as page, open(target, "wb") as text:
            shutil.copyfileobj(page, text)
        out.append(target)
        if len(out) == want:
            return out
    sys.exit(f"damage_sweep: fewer than {want} of the man pages {names} are on this machine")


def package_sets(work):
    """Three sets of ordinary files, one per method; 3 to 10 files and a few hundred kB to a few MB
    of package each."""
    text = os.path.join(work, "text")
    include = [f"/usr/include/{n}" for n in ("elf.h", "zlib.h", "curses.h", "pthread.h", "unistd.h", "math.h",
                                             "stdlib.h", "stdio.h")]
    dlls = [f"{WINE_DLLS}/{n}" for n in ("notepad.exe", "xcopy.exe", "winhlp32.exe", "conhost.exe", "uxtheme.dll",
                                         "wintrust.dll", "secur32.dll")]
    return [
        {"label": "lzh", "method": "lzh",
         "files": existing(include, 6) + existing(dlls, 1) + unzipped_man_pages(["bash", "find", "tar"], text, 1)},
        {"label": "lzrw", "method": "lzrw",
         "files": existing(dlls[1:], 4) + unzipped_man_pages(["find", "tar", "ssh", "git"], text, 2)},
        {"label": "auto", "method": "auto",
         "files": existing(["/usr/include/sqlite3.h", "/usr/include/z3_api.h", "/usr/include/zlib.h"], 2) +
         existing([f"{MAN1}/{n}.1.gz" for n in ("bash", "curl", "git", "gpg", "ssh")], 3) +
         existing(dlls[1:2] + dlls[4:], 1)},
    ]


def pack(vornix, stub, out, files, method, checked, run_name=None):
    command = [vornix, "pack", "--quiet", "--stub", stub, "-o", out, "--title", "Damage sweep",
               "--publisher", "Vornix bench", "--note", "Packed to be damaged.", "--method", method]
    if run_name is not None:
        command += ["--run", run_name]
    if not checked:
        command.append("--no-checksums")
    code, _, err = run(command + files, 300)
    if code != 0:
        sys.exit(f"damage_sweep: vornix pack failed for {out}: {err.strip()}")


def layout(vornix, path):
    """Where the header, texts, table, names, streams and record of an undamaged package lie."""
    code, out, err = run([vornix, "list", "--json", path], 60)
    if code != 0:
        sys.exit(f"damage_sweep: vornix list failed for {path}: {err.strip()}")
    info = json.loads(out)
    with open(path, "rb") as f:
        data = f.read()
    head = data[PACKAGE_OFFSET:PACKAGE_OFFSET + 12]
    texts_end = PACKAGE_OFFSET + 12 + head[5] + head[6] + head[7]
    table_end = texts_end + 8 * head[4]
    entries = []
    for e in info["entries"]:
        name_end = e["offset"] + len(e["name"].encode("cp1252")) + 1
        entries.append({"name": e["name"], "offset": e["offset"], "stream": name_end,
                        "end": name_end + e["stored"], "xxh32": e["xxh32"]})
    record = max([e["end"] for e in entries] + [table_end])
    return {"size": len(data), "texts": PACKAGE_OFFSET + 12, "table": texts_end, "table_end": table_end,
            "entries": entries, "record": record, "checked": info["checksums"]}


def region(lay, pos):
    if pos < lay["texts"]:
        return "header"
    if pos < lay["table"]:
        return "texts"
    if pos < lay["table_end"]:
        return "table"
    for e in lay["entries"]:
        if e["offset"] <= pos < e["stream"]:
            return "names"
        if e["stream"] <= pos < e["end"]:
            return "streams"
    if pos < lay["size"]:
        return "record" if lay["checked"] else "streams"
    return "after"


def draw_damage(rng):
    """One damage, its place given as a fraction of the package part so that the checked package
    and its unchecked twin, whose package parts differ only by the record, get the same one."""
    kind = rng.choices(KINDS, KIND_WEIGHTS)[0]
    damage = {"kind": kind, "at": rng.random()}
    if kind == "flip":
        damage["bit"] = rng.randrange(8)
    elif kind == "overwrite":
        length = rng.randint(1, 64)
        # Mostly random bytes; now and then a run of zeros or of FF, as a bad sector gives.
        fill = rng.choices(("random", "zeros", "ones"), (6, 1, 1))[0]
        damage["bytes"] = (rng.randbytes(length) if fill == "random" else
                           bytes([0 if fill == "zeros" else 0xFF]) * length).hex()
    elif kind == "append":
        length = rng.randint(1, 4096)
        damage["bytes"] = (rng.randbytes(length) if rng.random() < 0.5 else bytes(length)).hex()
    return damage


def apply_damage(original, damage):
    """(damaged bytes, file position of the damage, whether any byte of the package part changed)."""
    part = len(original) - PACKAGE_OFFSET
    pos = PACKAGE_OFFSET + min(int(damage["at"] * part), part - 1)
    kind = damage["kind"]
    if kind == "flip":
        data = bytearray(original)
        data[pos] ^= 1 << damage["bit"]
    elif kind == "overwrite":
        data = bytearray(original)
        run_bytes = bytes.fromhex(damage["bytes"])[:len(original) - pos]
        data[pos:pos + len(run_bytes)] = run_bytes
    elif kind == "cut":
        data = original[:pos]
    else:
        pos = len(original)
        data = original + bytes.fromhex(damage["bytes"])
    data = bytes(data)
    # Every byte of the original package part is covered; bytes behind its end are not.
    changed = len(data) < len(original) or data[:len(original)] != original
    return data, pos, changed


def extracted_right(vornix, package, folder, originals):
    """Extracts and compares with the packed files: the same names, every byte the same."""
    code, _, _ = run([vornix, "extract", package, "-d", folder], VERIFY_TIMEOUT)
    try:
        if code != 0:
            return False
        names = sorted(os.listdir(folder))
        if names != sorted(originals):
            return False
        for name in names:
            with open(os.path.join(folder, name), "rb") as f:
                if f.read() != originals[name]:
                    return False
        return True
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def caught_by(stderr):
    """Which check of verify named the damage first."""
    for needle, label in (("Invalid Version", "header read"), ("Stream read error", "header read"),
                          ("does not mark the checksum record", "lost mark"),
                          ("checksum record is missing", "record missing"),
                          ("checksum record is damaged", "record damaged"),
                          ("do not match their checksum", "head hash"), ("checksum mismatch", "entry hash")):
        if needle in stderr:
            return label
    return "decode, bounds or name"


# ---------------------------------------------------------------------------------------------
# The native sweep


def native(args):
    started = time.monotonic()
    work = args.work
    cases_dir = os.path.join(work, "cases")
    os.makedirs(cases_dir, exist_ok=True)
    sets = package_sets(work)
    packages = []
    for s in sets:
        originals = {}
        for path in s["files"]:
            with open(path, "rb") as f:
                originals[os.path.basename(path)] = f.read()
        for checked in (True, False):
            path = os.path.join(work, f"{s['label']}-{'checked' if checked else 'plain'}.exe")
            pack(args.vornix, args.stub, path, s["files"], s["method"], checked)
            with open(path, "rb") as f:
                data = f.read()
            packages.append({"set": s["label"], "checked": checked, "path": path, "data": data,
                             "layout": layout(args.vornix, path), "originals": originals, "files": s["files"]})

    print(f"seed {args.seed}; {args.damages} damages of the checked packages and the same of their unchecked twins;"
          f" {args.jobs} at once")
    print()
    print(f"{'package':<17} {'method':<6} {'files':>5} {'packed':>10} {'file size':>10} {'package part':>13}")
    for p in packages:
        print(f"{os.path.basename(p['path']):<17} {p['set']:<6} {len(p['files']):>5} "
              f"{sum(len(v) for v in p['originals'].values()):>10} {len(p['data']):>10} "
              f"{len(p['data']) - PACKAGE_OFFSET:>13}")
    print()

    faults = []
    # The undamaged packages first: a sweep whose packages fail unharmed would measure nothing.
    for p in packages:
        code, _, err = run([args.vornix, "verify", p["path"]], VERIFY_TIMEOUT)
        if code != 0:
            faults.append(f"{p['path']}: the undamaged package fails verify: {err.strip()}")
        if not extracted_right(args.vornix, p["path"], os.path.join(cases_dir, "baseline"), p["originals"]):
            faults.append(f"{p['path']}: the undamaged package does not extract to the packed files")
        if p["layout"]["checked"] != p["checked"] or (p["checked"] and p["layout"]["record"] +
                                                      16 + 4 * len(p["layout"]["entries"]) != len(p["data"])):
            faults.append(f"{p['path']}: the record is not where and as long as the format says")
    if faults:
        report_faults(faults)
        return 1

    rng = random.Random(args.seed)
    per_set = args.damages // len(sets)
    jobs = []
    for s_index, s in enumerate(sets):
        count = per_set + (1 if s_index < args.damages % len(sets) else 0)
        for i in range(count):
            damage = draw_damage(rng)
            for p in packages:
                if p["set"] == s["label"]:
                    jobs.append((p, i, damage))

    def one(job):
        p, i, damage = job
        data, pos, changed = apply_damage(p["data"], damage)
        name = f"{p['set']}-{'c' if p['checked'] else 'p'}-{i:05d}"
        path = os.path.join(cases_dir, name + ".exe")
        with open(path, "wb") as f:
            f.write(data)
        code, _, err = run([args.vornix, "verify", path], VERIFY_TIMEOUT)
        wrong = None
        if code == 0:
            wrong = not extracted_right(args.vornix, path, os.path.join(cases_dir, name + ".d"), p["originals"])
        os.remove(path)
        return {"set": p["set"], "checked": p["checked"], "index": i, "kind": damage["kind"], "pos": pos,
                "region": region(p["layout"], pos), "changed": changed, "verify": code,
                "caught": caught_by(err) if code == 1 else None, "wrong": wrong, "stderr": err.strip()}

    with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
        results = list(pool.map(one, jobs))

    for r in results:
        where = f"{r['set']} {'checked' if r['checked'] else 'unchecked'} #{r['index']} {r['kind']} at {r['pos']}" \
                f" ({r['region']})"
        if r["verify"] not in (0, 1):
            faults.append(f"{where}: verify ended with {r['verify']}: {r['stderr'][:200]}")
        if not r["checked"]:
            continue
        # The record hashes what a stream decodes to: a changed stream that still decodes to the
        # packed bytes (a copy item pointing at other equal bytes) unpacks nothing wrong.
        if r["changed"] and r["verify"] == 0 and r["wrong"]:
            faults.append(f"{where}: a changed covered byte passed verify and extracted wrong bytes")
        elif r["changed"] and r["verify"] == 0:
            print(f"note: {where}: the changed stream decodes to the packed bytes, so it passes verify")
        if not r["changed"] and r["verify"] != 0:
            faults.append(f"{where}: no covered byte changed, yet verify refused: {r['stderr'][:200]}")
        if r["wrong"] and not r["changed"]:
            faults.append(f"{where}: unchanged, passed verify and extracted wrong bytes")

    print_native_tables(results)
    print(f"native sweep: {len(results)} verify runs in {time.monotonic() - started:.1f} s")
    if faults:
        report_faults(faults)
        return 1
    print("native sweep: OK, verify refused every checked package with a changed byte and passed every other one")
    return 0


def print_native_tables(results):
    def row(label, rows, checked):
        damages = len(rows)
        changed = sum(r["changed"] for r in rows)
        rejected = sum(r["verify"] == 1 for r in rows)
        passed_changed = sum(r["verify"] == 0 and r["changed"] for r in rows)
        wrong = sum(bool(r["wrong"]) for r in rows)
        print(f"{label:<10} {'checked' if checked else 'unchecked':<10} {damages:>8} {changed:>8} {rejected:>9}"
              f" {passed_changed:>15} {wrong:>13}")

    header = (f"{'damage':<10} {'package':<10} {'damages':>8} {'changed':>8} {'rejected':>9}"
              f" {'passed, changed':>15} {'wrong extract':>13}")
    print("By kind of damage (changed: a byte of the package part differs; rejected: verify exit 1;")
    print("passed, changed: verify exit 0 although a byte changed; wrong extract: verify passed and")
    print("vornix extract gave other files or bytes than were packed)")
    print(header)
    for checked in (True, False):
        for kind in KINDS:
            row(kind, [r for r in results if r["checked"] == checked and r["kind"] == kind], checked)
        row("all", [r for r in results if r["checked"] == checked], checked)
        print()

    print("By package")
    print(header.replace("damage    ", "package   ", 1))
    for checked in (True, False):
        for s in sorted({r["set"] for r in results}, key=["lzh", "lzrw", "auto"].index):
            row(s, [r for r in results if r["checked"] == checked and r["set"] == s], checked)
    print()

    print("Checked packages by where the damage starts (a cut by where it cuts)")
    print(header.replace("damage    ", "region    ", 1))
    for reg in REGIONS + ("after",):
        rows = [r for r in results if r["checked"] and r["region"] == reg]
        if rows:
            row(reg, rows, True)
    print()

    caught = {}
    for r in results:
        if r["checked"] and r["caught"]:
            caught[r["caught"]] = caught.get(r["caught"], 0) + 1
    print("Checked packages: the first fault verify named in each refusal")
    for label, count in sorted(caught.items(), key=lambda item: -item[1]):
        print(f"  {label:<24} {count:>6}")
    print()

    for checked in (True, False):
        changed = [r for r in results if r["checked"] == checked and r["changed"]]
        through = [r for r in changed if r["verify"] == 0]
        wrong = sum(bool(r["wrong"]) for r in through)
        print(f"{'Checked' if checked else 'Unchecked'} packages: {len(changed)} damages changed a byte; verify let"
              f" {len(through)} through ({100.0 * len(through) / max(len(changed), 1):.2f}%), {wrong} of them"
              f" with wrong extracted bytes and {len(through) - wrong} extracting to the packed files")
    print()


def report_faults(faults):
    print(f"FAILED: {len(faults)} fault(s)")
    for fault in faults[:30]:
        print(f"  {fault}")
    if len(faults) > 30:
        print(f"  ... and {len(faults) - 30} more")


# ---------------------------------------------------------------------------------------------
# The Wine sweep


def windows_path(path):
    # Wine maps / to drive Z:.
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def xxh32_of(paths):
    code, out, err = run(["xxhsum", "-H0"] + paths, 60)
    if code != 0:
        sys.exit(f"damage_sweep: xxhsum failed: {err.strip()}")
    hashes = {}
    for line in out.splitlines():
        digest, path = line.split(None, 1)
        hashes[os.path.basename(path.strip())] = digest.lower()
    return hashes


def wine(args):
    started = time.monotonic()
    work = os.path.join(args.work, "wine")
    os.makedirs(work, exist_ok=True)
    data_files = existing(["/usr/include/zlib.h", "/usr/include/elf.h"], 1) + \
        existing([f"{WINE_DLLS}/xcopy.exe", f"{WINE_DLLS}/notepad.exe"], 1)
    files = [args.probe] + data_files
    run_name = os.path.basename(args.probe)
    expected = xxh32_of(files)
    originals = {}
    for path in files:
        with open(path, "rb") as f:
            originals[os.path.basename(path)] = f.read()
    checked_path = os.path.join(work, "probe-checked.exe")
    plain_path = os.path.join(work, "probe-plain.exe")
    pack(args.vornix, args.stub, checked_path, files, "auto", True, run_name)
    pack(args.vornix, args.stub, plain_path, files, "auto", False, run_name)
    lay = layout(args.vornix, checked_path)
    plain_lay = layout(args.vornix, plain_path)
    with open(checked_path, "rb") as f:
        checked = f.read()
    with open(plain_path, "rb") as f:
        plain = f.read()
    for e in lay["entries"]:
        if e["xxh32"] != expected[e["name"]]:
            sys.exit(f"damage_sweep: the record's hash of {e['name']} is not xxhsum's")

    rng = random.Random(args.seed)
    run_entry = lay["entries"][0]
    data_entries = lay["entries"][1:]

    def at(lo, hi):
        return rng.randrange(lo, hi)

    def flip(pos):
        return {"kind": "flip", "pos": pos, "bit": rng.randrange(8)}

    def overwrite(pos):
        return {"kind": "overwrite", "pos": pos, "bytes": rng.randbytes(rng.randint(1, 64)).hex()}

    cases = [{"what": "intact", "package": "checked", "damage": None}]
    spots = []
    for n in range(5):
        spots.append(("run stream", flip(at(run_entry["stream"], run_entry["end"]))))
    for n in range(3):
        spots.append(("run stream", overwrite(at(run_entry["stream"], run_entry["end"]))))
    for n in range(8):
        e = data_entries[n % len(data_entries)]
        spots.append(("data stream", (flip if n < 5 else overwrite)(at(e["stream"], e["end"]))))
    spots.append(("header", flip(at(PACKAGE_OFFSET, lay["texts"]))))
    spots.append(("texts", flip(at(lay["texts"], lay["table"]))))
    spots.append(("table", overwrite(at(lay["table"], lay["table_end"]))))
    for n in range(2):
        e = lay["entries"][n % len(lay["entries"])]
        spots.append(("names", flip(at(e["offset"], e["stream"]))))
    spots.append(("record", flip(at(lay["record"], lay["size"]))))
    spots.append(("record", flip(at(lay["record"], lay["size"]))))
    spots.append(("record", overwrite(at(lay["record"], lay["size"]))))
    spots.append(("run stream", {"kind": "cut", "pos": at(run_entry["stream"], run_entry["end"])}))
    spots.append(("run stream", {"kind": "cut", "pos": at(run_entry["stream"], run_entry["end"])}))
    for n in range(2):
        e = data_entries[n % len(data_entries)]
        spots.append(("data stream", {"kind": "cut", "pos": at(e["stream"], e["end"])}))
    spots.append(("record", {"kind": "cut", "pos": at(lay["record"], lay["size"])}))
    spots.append(("table", {"kind": "cut", "pos": at(lay["table"], lay["table_end"])}))
    for what, damage in spots:
        cases.append({"what": what, "package": "checked", "damage": damage})
    cases.append({"what": "after record", "package": "checked",
                  "damage": {"kind": "append", "bytes": rng.randbytes(rng.randint(1, 4096)).hex()}})
    cases.append({"what": "after record", "package": "checked",
                  "damage": {"kind": "append", "bytes": bytes(rng.randint(1, 4096)).hex()}})

    # The controls: the unchecked twin, intact and with damages that vornix extract shows to give
    # wrong bytes while everything decodes. The stub must run the probe in them and the probe must
    # see the wrong bytes, or the check above could not have failed.
    cases.append({"what": "intact", "package": "plain", "damage": None})
    found = 0
    for attempt in range(400):
        e = plain_lay["entries"][1 + attempt % (len(plain_lay["entries"]) - 1)]
        damage = flip(at(e["stream"], e["end"]))
        control = os.path.join(work, "control.exe")
        with open(control, "wb") as f:
            f.write(damaged_bytes(plain, damage))
        code, _, _ = run([args.vornix, "verify", control], VERIFY_TIMEOUT)
        wrong = code == 0 and not extracted_right(args.vornix, control, os.path.join(work, "control.d"), originals)
        os.remove(control)
        if wrong:
            cases.append({"what": "data stream", "package": "plain", "damage": damage, "control": True})
            found += 1
            if found == 2:
                break
    if found < 2:
        sys.exit("damage_sweep: no damage of the unchecked package decodes to wrong bytes; nothing to control with")

    for n, case in enumerate(cases):
        case["name"] = f"case_{n:02d}.exe"
        case["data"] = damaged_bytes(checked if case["package"] == "checked" else plain, case["damage"])

    def one(case):
        folder = os.path.join(work, case["name"][:-4])
        shutil.rmtree(folder, ignore_errors=True)
        temp = os.path.join(folder, "temp")
        os.makedirs(temp)
        package = os.path.join(folder, case["name"])
        with open(package, "wb") as f:
            f.write(case["data"])
        case["verify"], _, _ = run([args.vornix, "verify", package], VERIFY_TIMEOUT)
        probe_out = os.path.join(folder, "probe.txt")
        boxes_log = os.path.join(folder, "boxes.txt")
        env = dict(os.environ, DAMAGE_PROBE_OUT=windows_path(probe_out))
        watcher = subprocess.Popen([WINE, args.boxes, case["name"], str(WINE_TIMEOUT + 20), windows_path(boxes_log)],
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # Wine takes TEMP and TMP from the prefix's registry, not from the Linux environment: cmd
        # sets them for the stub alone.
        win_temp = windows_path(temp)
        begun = time.monotonic()
        # Wine's output goes to a file, not a pipe: the desktop and service processes that the first
        # program starts outlive it and would hold a pipe open until the timeout.
        with open(os.path.join(folder, "wine.log"), "wb") as log:
            try:
                case["code"] = subprocess.run([WINE, "cmd", "/c", f"set TEMP={win_temp}&& set TMP={win_temp}&& "
                                               f"{windows_path(package)}"], stdin=subprocess.DEVNULL, stdout=log,
                                              stderr=log, env=env, timeout=WINE_TIMEOUT).returncode
            except subprocess.TimeoutExpired:
                case["code"] = None
        case["seconds"] = time.monotonic() - begun
        try:
            case["watcher"] = watcher.wait(timeout=WINE_TIMEOUT + 30)
        except subprocess.TimeoutExpired:
            watcher.kill()
            case["watcher"] = None
        case["boxes"] = []
        if os.path.exists(boxes_log):
            with open(boxes_log, encoding="cp1252", errors="replace") as f:
                case["boxes"] = [line[5:].strip() for line in f if line.startswith("box: ")]
        case["left"] = sorted(os.path.relpath(os.path.join(root, name), temp)
                              for root, dirs, names in os.walk(temp) for name in dirs + names)
        case["ran"] = os.path.exists(probe_out)
        case["right"] = None
        case["folder_ok"] = None
        if case["ran"]:
            reported = {}
            folder_line = ""
            with open(probe_out, encoding="cp1252", errors="replace") as f:
                for line in f:
                    line = line.rstrip("\r\n")
                    if line.startswith("<folder> "):
                        folder_line = line[len("<folder> "):]
                    elif line:
                        name, digest = line.rsplit(" ", 1)
                        reported[name] = digest.lower()
            case["right"] = reported == expected
            case["folder_ok"] = folder_line.lower().startswith(win_temp.lower() + "\\vornix_")
        os.remove(package)
        return case

    with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
        done = list(pool.map(one, cases))

    faults = []
    for c in done:
        where = f"{c['name']} ({c['package']}, {c['what']}, {describe(c['damage'])})"
        if c["code"] is None:
            faults.append(f"{where}: the stub did not end within {WINE_TIMEOUT} s")
        if c["watcher"] != 0:
            faults.append(f"{where}: the box answerer ended with {c['watcher']}")
        if c["left"]:
            faults.append(f"{where}: the temporary folder holds {c['left'][:5]}")
        if c["ran"] and not c["folder_ok"]:
            faults.append(f"{where}: the program ran outside the temporary folder it was given")
        if c["package"] == "checked" and c["ran"] and not c["right"]:
            faults.append(f"{where}: THE PROGRAM RAN WITH WRONG BYTES")
        if c["damage"] is None or c["damage"]["kind"] == "append":
            if c["code"] != 0 or not c["ran"] or not c["right"]:
                faults.append(f"{where}: no covered byte changed, yet the program did not run right"
                              f" (exit {c['code']}, boxes {c['boxes']})")
        if c.get("control") and not (c["ran"] and c["right"] is False):
            faults.append(f"{where}: the control, which unpacks wrong bytes, did not show the probe seeing them")

    print_wine_table(done)
    print(f"wine sweep: {len(done)} stub runs in {time.monotonic() - started:.1f} s")
    if faults:
        report_faults(faults)
        return 1
    print("wine sweep: OK, no checked package ran the program with a wrong byte, and every temporary folder"
          " was left empty")
    return 0


def damaged_bytes(original, damage):
    if damage is None:
        return original
    data = bytearray(original)
    pos = damage.get("pos")
    if damage["kind"] == "flip":
        data[pos] ^= 1 << damage["bit"]
    elif damage["kind"] == "overwrite":
        run_bytes = bytes.fromhex(damage["bytes"])[:len(data) - pos]
        # A run identical to the bytes it replaces would be no damage: turn its first byte.
        if bytes(data[pos:pos + len(run_bytes)]) == run_bytes:
            run_bytes = bytes([run_bytes[0] ^ 0xFF]) + run_bytes[1:]
        data[pos:pos + len(run_bytes)] = run_bytes
    elif damage["kind"] == "cut":
        del data[pos:]
    else:
        data += bytes.fromhex(damage["bytes"])
    return bytes(data)


def describe(damage):
    if damage is None:
        return "none"
    if damage["kind"] == "flip":
        return f"flip bit {damage['bit']} at {damage['pos']}"
    if damage["kind"] == "overwrite":
        return f"{len(damage['bytes']) // 2} bytes at {damage['pos']}"
    if damage["kind"] == "cut":
        return f"cut at {damage['pos']}"
    return f"{len(damage['bytes']) // 2} bytes appended"


def print_wine_table(done):
    print()
    print("Every stub run (verify: vornix verify's exit code; exit: the stub's; ran: the probe wrote its")
    print("report; bytes: every hash it reported is the packed file's; temp: what the run left in TEMP)")
    print(f"{'case':<8} {'package':<8} {'damaged':<12} {'damage':<24} {'verify':>6} {'exit':>4} {'ran':>4}"
          f" {'bytes':>6} {'temp':>6} {'secs':>5}  boxes")
    for c in done:
        box = "; ".join(b[:60] for b in c["boxes"]) or "-"
        print(f"{c['name'][:-4]:<8} {c['package']:<8} {c['what']:<12} {describe(c['damage']):<24}"
              f" {str(c['verify']):>6} {str(c['code']):>4} {'yes' if c['ran'] else 'no':>4}"
              f" {'-' if c['right'] is None else 'right' if c['right'] else 'WRONG':>6}"
              f" {'empty' if not c['left'] else 'LEFT':>6} {c['seconds']:>5.1f}  {box}")
    print()
    print("Summary")
    print(f"{'package':<8} {'damaged':<12} {'runs':>5} {'exit 0':>6} {'exit 1':>6} {'exit 2':>6} {'other':>6}"
          f" {'ran':>5} {'ran wrong':>9} {'temp left':>9}")
    groups = {}
    for c in done:
        groups.setdefault((c["package"], c["what"]), []).append(c)
    for (package, what), rows in groups.items():
        codes = [c["code"] for c in rows]
        print(f"{package:<8} {what:<12} {len(rows):>5} {codes.count(0):>6} {codes.count(1):>6} {codes.count(2):>6}"
              f" {len(rows) - codes.count(0) - codes.count(1) - codes.count(2):>6}"
              f" {sum(c['ran'] for c in rows):>5} {sum(c['right'] is False for c in rows):>9}"
              f" {sum(bool(c['left']) for c in rows):>9}")
    print()


def main():
    parser = argparse.ArgumentParser(description="the damage sweep behind bench/damage_sweep.sh")
    parser.add_argument("part", choices=("native", "wine"))
    parser.add_argument("--vornix", required=True)
    parser.add_argument("--stub", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--seed", type=int, default=20261208)
    parser.add_argument("--damages", type=int, default=2400)
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    parser.add_argument("--probe")
    parser.add_argument("--boxes")
    args = parser.parse_args()
    sys.stdout.reconfigure(line_buffering=True)
    if args.part == "native":
        return native(args)
    if not args.probe or not args.boxes:
        parser.error("wine needs --probe and --boxes")
    return wine(args)


if __name__ == "__main__":
    sys.exit(main())
