"""Settings files and zones made from a seed, for the page's tests and
benchmark: ship sections with values that pass and values that break the
rules, in the shapes operators write (comments, CR LF, hexadecimal, keys
missing, sections twice), and zones of arenas that share included files."""

import os
import random

SHIPS = ["Warbird", "Javelin", "Spider", "Leviathan", "Terrier", "Weasel", "Lancaster", "Shark"]
PAIRS = [("InitialRotation", "MaximumRotation"), ("InitialSpeed", "MaximumSpeed"),
         ("InitialThrust", "MaximumThrust"), ("InitialRecharge", "MaximumRecharge"),
         ("InitialEnergy", "MaximumEnergy"), ("InitialRepel", "RepelMax"),
         ("InitialBurst", "BurstMax"), ("InitialBrick", "BrickMax"),
         ("InitialRocket", "RocketMax"), ("InitialDecoy", "DecoyMax"),
         ("InitialPortal", "PortalMax"), ("InitialThor", "ThorMax"),
         ("InitialGuns", "MaxGuns"), ("InitialBombs", "MaxBombs")]
SINGLES = ["SuperTime", "ShieldsTime"]


def value_text(rng, value):
    form = rng.random()
    if form < 0.1 and value >= 0:
        return hex(value)
    if form < 0.15:
        return f" {value} ; a comment"
    return str(value)


def ship_lines(rng, ship):
    lines = [f"[{ship}]" if rng.random() < 0.8 else f"[{ship.upper()}]"]
    for initial, maximum in PAIRS:
        if rng.random() < 0.1:
            continue  # absent: reads 0
        top = rng.randint(1, 5000)
        low = top + rng.choice([-100, -1, 0, 1]) if rng.random() < 0.15 else rng.randint(0, top)
        lines.append(f"{initial}={value_text(rng, low)}")
        lines.append(f"{maximum}={value_text(rng, top)}")
    for key in SINGLES:
        lines.append(f"{key}={value_text(rng, 0 if rng.random() < 0.1 else rng.randint(1, 9000))}")
    return lines


def settings_text(seed):
    """A .cfg file: some ships, in any order, some twice, CR LF or LF."""
    rng = random.Random(seed)
    lines = ["; made by tests/web/generate.py", "[Misc]", "BannerPoints=5"]
    ships = [s for s in SHIPS if rng.random() < 0.9]
    rng.shuffle(ships)
    if ships and rng.random() < 0.3:
        ships.append(ships[0])
    for ship in ships:
        lines += ship_lines(rng, ship)
        lines.append("")
    end = "\r\n" if rng.random() < 0.5 else "\n"
    return end.join(lines) + end


def write(path, text):
    os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
    with open(path, "w", newline="") as f:
        f.write(text)


def write_settings(folder, count, first_seed=1):
    """COUNT .cfg files in FOLDER; their paths."""
    paths = []
    for seed in range(first_seed, first_seed + count):
        path = os.path.join(folder, f"generated-{seed}.cfg")
        write(path, settings_text(seed))
        paths.append(path)
    return paths


def write_zone(folder, arenas, seed=1, ships_bytes=0):
    """A zone: conf/ships.conf including one file per ship, ARENAS arenas
    each including it and overriding a ship or not, a (default) arena, an
    arena whose include is missing and one with an include cycle. With
    SHIPS_BYTES, the ships file is padded with comment lines to that size."""
    rng = random.Random(seed)
    includes = []
    for ship in SHIPS:
        name = f"ships/{ship.lower()}.conf"
        includes.append(f"#include {name}")
        write(os.path.join(folder, "conf", name), "\n".join(ship_lines(rng, ship)) + "\n")
    padding = ""
    while len(padding) < ships_bytes:
        padding += "; " + "x" * 60 + "\n"
    write(os.path.join(folder, "conf", "ships.conf"),
          "; the zone's ships\n" + "\n".join(includes) + "\n" + padding)
    write(os.path.join(folder, "arenas", "(default)", "arena.conf"), "#include ships.conf\n")
    for n in range(arenas):
        lines = ["#include ships.conf", "#define FAST"]
        if rng.random() < 0.5:
            ship = rng.choice(SHIPS)
            lines += ["#ifdef FAST", f"[{ship}]", f"InitialSpeed={rng.randint(1, 9000)}",
                      f"MaximumSpeed={rng.randint(1, 9000)}", "#endif"]
        write(os.path.join(folder, "arenas", f"arena{n:04d}", "arena.conf"), "\n".join(lines) + "\n")
    if arenas >= 2:
        write(os.path.join(folder, "arenas", "missing", "arena.conf"),
              "#include ships.conf\n#include nowhere.conf\n")
        write(os.path.join(folder, "arenas", "cycle", "arena.conf"), "#include loop.conf\n")
        write(os.path.join(folder, "arenas", "cycle", "loop.conf"), "[Shark]\nSuperTime=0\n#include loop.conf\n")
    return folder


if __name__ == "__main__":
    import sys
    write_zone(sys.argv[1], int(sys.argv[2]))
