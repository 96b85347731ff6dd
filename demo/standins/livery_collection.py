"""A user's livery collection, made from a seed: livery folders with aircraft.cfg and
sim.cfg files as users have them, in the charsets and line ends their editors chose,
with every kind of fault the livery scan must reject or report planted among them, and
a manifest of what the scan must give: the records of LiveriesScanned.xml, the lines of
its report files and the lines it must log. Beside it the registration-code lists of the
same liveries (AIG-regcodes.xml and the user's my_regcodes files) and the registration
table the livery tables must build from all three. See livery_collection.md."""
import argparse
import json
import os
import pathlib
import random
import xml.etree.ElementTree as ET

CATEGORY_ORDER = ("large", "heavy", "buzjet", "rotorcraft", "high_performance")
ACCENTS = "éüøÉÜØ"
WORDS = ("livery", "scheme", "retro", "new", "colours", "special", "star", "alliance", "one", "world",
         "classic", "team", "city", "express", "connect", "air", "sky", "jet", "blue", "red")
# Package names the IVAO reader shortens: kept out of the generated packages.
IVAO_SHORTENED = {"B744F", "T154M", "T154B2"}

SECTION_FAULTS = ("two_titles", "dup_codes", "dup_types", "dup_atcid", "trailing_comment", "invalid_atcid",
                  "missing_texture", "missing_title", "not_to_use", "no_airline_db", "no_airline_unknown",
                  "no_airline_none", "rfo", "zzz", "invalid_airline", "commented_header", "model_from_reg",
                  "title_in_file", "title_across_files")
FILE_FAULTS = ("fixed_model", "unknown_model", "no_atc_model", "no_sections", "number_10001", "number_huge")
UNREAD_FILES = {"unknown_model", "no_atc_model", "no_sections", "number_10001", "number_huge"}

INCOMPLETE = "IncompleFltsimSections.txt"
REPORTS = ("InvalidAirlineCodes.txt", "InvalidAircraftCodes.txt", "Fixes.txt", "InvalidAircraftCfgFiles.txt",
           INCOMPLETE, "AircraftCfgWithNoFltsimSection.txt")


def fault_kind(rng, rate, kinds, none):
    """Each kind with the probability rate (a rate of 0 plants none); the same draw as ever."""
    roll = rng.random() / rate if rate > 0 else len(kinds)
    return kinds[int(roll)] if roll < len(kinds) else none


class Database:
    """What the scan reads of dbase.xml, and the builder's registrations.csv."""

    def __init__(self, data: pathlib.Path):
        root = ET.parse(data / "dbase.xml").getroot()

        def codes(section: str, attribute: str) -> set:
            found = set()
            node = root.find(section)
            for child in (list(node) if node is not None else []):
                found.update(c.strip() for c in child.get(attribute, "").split(",") if c.strip())
            return found

        self.known = codes("aircrafts", "types")
        self.sets = {name: codes(name, "types") for name in CATEGORY_ORDER}
        self.airlines = codes("ICAO_airlines", "codes")
        self.fixes = {fx.get("wro"): fx.get("cor") for fx in root.find("fixes")}
        self.records = {}
        self.by_type = {}
        for line in (data / "registrations.csv").read_text(encoding="utf-8").splitlines()[1:]:
            reg, airl, typ, opr, cargo = line.split(",")
            self.records[reg] = (airl, typ, opr, cargo == "1")
            if typ in self.known and airl in self.airlines and airl != "ZZZ" and len(reg) <= 12:
                self.by_type.setdefault(typ, []).append(reg)
        self.short_keys = sorted((r for r in self.records if len(r.encode()) < 6),
                                 key=lambda r: (-len(r.encode()), r.encode()))
        # Private owners' short registrations by type: a private livery titled with one
        # is of that aircraft's type.
        self.private_by_type = {}
        for reg in self.short_keys:
            if self.records[reg][0] == "ZZZ":
                self.private_by_type.setdefault(self.records[reg][1], []).append(reg)

    def category(self, typ: str) -> str:
        return next((name for name in CATEGORY_ORDER if typ in self.sets[name]), "light")

    def is_heavy(self, typ: str) -> bool:
        return self.category(typ) == "heavy"

    def lookup(self, reg: str):
        """The record of a registration in whichever written form the database holds it."""
        if not reg:
            return None
        forms = [reg]
        if len(reg) >= 5 and not reg.startswith("N") and "-" not in reg:
            forms = [reg[:2] + "-" + reg[2:], reg[:1] + "-" + reg[1:], reg]
        return next((self.records[f] for f in forms if f in self.records), None)

    def short_key_in(self, text: str) -> str:
        return next((key for key in self.short_keys if key in text), "")


class CfgFile:
    """One aircraft.cfg or sim.cfg being written, and what the scan makes of it."""

    def __init__(self, collection, folder: pathlib.Path, name: str, typ: str, lfolder: int, read: bool):
        self.folder, self.path, self.type, self.lfolder, self.read = folder, folder / name, typ, lfolder, read
        self.folder_text, self.path_text = collection.text(folder), collection.text(self.path)
        self.models, self.textures = set(), []
        self.lines_out = []     # (report, line)
        self.records = []
        self.not_to_use = []
        self.valid_sections = []  # (lines, record, texture, model) that may be repeated
        self.painted_for = None   # the airline whose aircraft its sections are painted for, if one


class Collection:
    def __init__(self, db: Database, out: pathlib.Path, args):
        self.db, self.out, self.args = db, out, args
        self.rng = random.Random(args.seed)
        self.records = []
        self.reports = {name: [] for name in REPORTS}
        self.title_groups = []
        self.logged = []
        self.not_to_use = []
        self.planted = {}
        self.counter = 0
        self.pool = {}            # (lfolder, type) -> valid sections of read files, for copies elsewhere
        self.straddled = self.huge_title = self.blank_line = False
        wanted = set(args.types.split(",")) if args.types else None
        self.types = sorted(t for t, regs in db.by_type.items() if len(regs) >= 3 and (wanted is None or t in wanted))
        if not self.types:
            raise SystemExit("livery_collection: no type of --types has three registrations in the data")
        # Registrations of the preferred airlines' aircraft (painted for them), by type, and by
        # airline and type.
        self.airlines = args.airlines.split(",") if args.airlines else []
        given = set(self.airlines)
        self.preferred, self.by_airline = {}, {}
        for typ, regs in db.by_type.items():
            mine = [r for r in regs if (db.records[r][2] or db.records[r][0]) in given]
            if mine:
                self.preferred[typ] = mine
            for r in mine:
                self.by_airline.setdefault((db.records[r][2] or db.records[r][0], typ), []).append(r)
        self.unknown_regs = [r for r in (f"Q-{i:04d}" for i in range(9999)) if r not in db.records]

    def text(self, p: pathlib.Path) -> str:
        return "<ROOT>/" + p.relative_to(self.out).as_posix()

    def plant(self, kind: str):
        self.planted[kind] = self.planted.get(kind, 0) + 1

    def next_title(self, airline: str, typ: str) -> str:
        self.counter += 1
        accent = self.rng.choice(ACCENTS) if self.rng.random() < 0.3 else ""
        # The '#' before the number keeps the database's short registrations out of titles.
        return f"Tav {typ} {airline} {self.rng.choice(WORDS)}{accent} #{self.counter:06d}"

    def description(self) -> str:
        size = self.rng.randint(self.args.description_min, self.args.description_max)
        words, length = [], 0
        while length < size:
            w = self.rng.choice(WORDS) + (self.rng.choice(ACCENTS) if self.rng.random() < 0.02 else "")
            words.append(w)
            length += len(w) + 1
        return "description=" + " ".join(words)

    # ---- sections of regular files
    def section(self, header: str, f: CfgFile) -> list:
        rng, db, typ = self.rng, self.db, f.type
        kind = fault_kind(rng, self.args.fault_rate, SECTION_FAULTS, "valid")
        if kind == "title_in_file" and f.valid_sections:
            return self.repeat_in_file(header, f)
        if kind == "title_across_files" and self.pool.get((f.lfolder, typ)):
            return self.copy_from_other_file(header, f)
        if kind in ("title_in_file", "title_across_files"):
            kind = "valid"
        heavy = db.is_heavy(typ)
        reg = rng.choice(self.by_airline.get((f.painted_for, typ)) or self.preferred.get(typ) or db.by_type[typ])
        airl = db.records[reg][2] or db.records[reg][0]  # painted for the aircraft's operator
        title = self.next_title(airl, typ)
        codes = f"atc_parking_codes={airl}"
        pick = rng.random()
        if pick < 0.1:
            codes = f"atc_parking_codes={airl}{rng.choice('XC')}"
        elif pick < 0.2:
            codes = f"atc_parking_codes={airl}, {rng.choice(sorted(db.airlines))}"
        cargo = rng.random() < 0.1 and (airl, typ) not in self.by_airline  # the airlines given fly passengers
        types = "atc_parking_types=" + rng.choice(["GATE,CARGO", "cargo, ramp", "Cargo"] if cargo
                                                   else ["GATE", "GATE,RAMP", "gate"])
        atc = reg if rng.random() < 0.85 else None
        if kind == "valid" and atc and rng.random() < 0.05:
            atc = f"{reg} ; {rng.choice(WORDS)}"
        expect = {"airl": airl, "atcid": reg if atc else ""}
        self.counter += 1
        texture = f"t{self.counter}"
        model = rng.choice(["", "", "GE", "CFM"])
        out, record, has_texture = [], True, True
        after_atc, at_end = [], []
        folder, path = f.folder_text, f.path_text
        no_airline = f"{path} {header} icao_airline is missing, or it has invalid info "

        if kind == "two_titles":
            at_end.append("title=" + self.next_title(airl, typ))
            out.append((INCOMPLETE, f"{folder} {header} has more than one title key"))
            record = False
        elif kind == "dup_codes":
            at_end.append(f"atc_parking_codes={airl}")
            out.append((INCOMPLETE, f"{folder} {header} has more than one atc_parking_codes key"))
            record = False
        elif kind == "dup_types":
            at_end.append("atc_parking_types=GATE")
            out.append((INCOMPLETE, f"{folder} {header} has more than one atc_parking_types key"))
            record = False
        elif kind == "dup_atcid":
            atc = reg
            after_atc.append(f"//atc_id={rng.choice(db.by_type[typ])}")
            out.append((INCOMPLETE, f"{folder}, {header}, has more than one atc_id key"))
            record = False
        elif kind == "trailing_comment":
            atc = reg
            expect["atcid"] = reg
            at_end += [f"//atc_id={rng.choice(db.by_type[typ])}", "", "// end"]
        elif kind == "invalid_atcid":
            atc = rng.choice([reg[:2] + "*" + reg[2:], "ABCDEFGHIJKLM"])
            out.append((INCOMPLETE, f"invalid atc_id={atc} in: {title}"))
            expect["atcid"] = ""
        elif kind == "missing_texture":
            has_texture = False
            out.append((INCOMPLETE, f"{folder}/model.{model} or related path does not exist: {header}"))
            record = False
        elif kind == "missing_title":
            out.append((INCOMPLETE, f"{folder} {header} misses title"))
            record = False
        elif kind == "not_to_use":
            f.not_to_use.append(title)
            record = False
        elif kind.startswith("no_airline"):
            codes = None
            out.append((INCOMPLETE, no_airline))
            if kind == "no_airline_db":
                # The scan takes the registration's airline, then its operator.
                atc = reg
                expect = {"airl": db.records[reg][0], "atcid": reg}
            elif kind == "no_airline_unknown":
                atc = self.unknown_regs.pop()
                expect = {"airl": "PVT", "atcid": atc}
                if heavy:
                    out.append((INCOMPLETE, f"'{folder}' '{header}' has no airline and regcode not in dbase"))
                    record = False
            else:
                atc = None
                # The title names a private aircraft of this type, or none the database knows.
                key = rng.choice(db.private_by_type.get(typ, ["Q-0"]))
                title = f"Private {typ} {key} #{self.counter:06d}"
                expect = {"airl": "PVT", "atcid": db.short_key_in(title)}
                if heavy:
                    out.append((INCOMPLETE, f"'{folder}' '{header}' has no airline and no regcode info"))
                    record = False
        elif kind == "rfo":
            codes = "atc_parking_codes=RFO"
            record = False
        elif kind == "zzz":
            codes = "atc_parking_codes=ZZZ"
            expect = {"airl": "ZZZ", "atcid": ""}
        elif kind == "invalid_airline":
            bad = rng.choice(["QQQQ", "Q1Q", "XX", "ABCDE"])
            while bad in db.airlines:
                bad += "Q"
            codes = f"atc_parking_codes={bad}"
            atc = reg
            expect["atcid"] = reg
            out.append(("InvalidAirlineCodes.txt", f"{bad:12} in {path} {header}"))
            out.append((INCOMPLETE, no_airline))
        elif kind == "commented_header":
            at_end += [f";[fltsim.{rng.randint(50, 99)}]", ";title=Old " + title]
        elif kind == "model_from_reg":
            reg = rng.choice(db.by_type[rng.choice([t for t in self.types if t != typ])])
            airl = db.records[reg][0]
            codes = f"atc_parking_codes={airl}"
            atc = reg
            expect = {"airl": airl, "atcid": reg}
        self.plant(kind)

        huge = f.read and kind == "valid" and not self.huge_title
        if huge:
            self.huge_title = True
            title = "Huge " + "T" * 100_000
        lines = [header, "title=" if kind == "missing_title" else f"title={title}", f"sim={typ}",
                 f"model={model}", "panel=", "sound=", f"texture={texture}", "kb_checklists=", "kb_reference="]
        lines += [codes] if codes else []
        lines.append(types)
        lines += [f"atc_id={atc}"] if atc else []
        lines += after_atc
        lines += [f"atc_airline={airl}", f"atc_flight_number={rng.randint(1, 9999)}", "atc_heavy=0",
                  "atc_id_color=0xffffffff", "atc_id_font=Verdana,-11,1,600,0", f'ui_manufacturer="{typ[0]}"',
                  f'ui_type="{typ}"', f'ui_variation="{rng.choice(WORDS)} {rng.choice(WORDS)}"',
                  'ui_typerole="Commercial Airliner"', 'ui_createdby="Tavelorium generator"']
        if f.read and kind == "valid" and not self.blank_line:
            self.blank_line = True
            lines.append(" " * 100_000)
        lines += [self.description(), "visual_damage=1", "prop_anim_ratio=-1"] + at_end

        f.models.add(model)
        if has_texture:
            f.textures.append(texture)
        f.lines_out += out
        if record:
            rec = {"airl": expect["airl"], "type": typ, "title": title, "atcid": expect["atcid"], "cargo": cargo,
                   "lfolder": f.lfolder, "folder": folder, "header": header, "copies": []}
            f.records.append(rec)
            if kind == "valid" and not huge:
                f.valid_sections.append((lines, rec, texture, model))
        return lines

    def repeat_in_file(self, header: str, f: CfgFile) -> list:
        """A section whose title an earlier section of the same file took: always that one wins."""
        lines, rec, _, _ = self.rng.choice(f.valid_sections)
        f.lines_out.append((INCOMPLETE, f"{f.folder_text} {header} title '{rec['title']}' already exists"))
        self.plant("title_in_file")
        return [header] + lines[1:]

    def copy_from_other_file(self, header: str, f: CfgFile) -> list:
        """A section of another file of the same folder set and type: whichever task comes
        first takes the title."""
        lines, rec, texture, model = self.pool[(f.lfolder, f.type)].pop()
        f.textures.append(texture)
        f.models.add(model)
        rec["copies"].append(f"{f.folder_text} {header} title '{rec['title']}' already exists")
        self.plant("title_across_files")
        return [header] + lines[1:]

    # ---- files
    def aircraft_folder(self, folder: pathlib.Path, lfolder: int, typ: str, kind: str, n_sections: int,
                        painted_for=None):
        rng = self.rng
        folder.mkdir(parents=True, exist_ok=True)
        name = rng.choice(["aircraft.cfg"] * 7 + ["sim.cfg"] * 2 + ["Aircraft.Cfg", "SIM.CFG"])
        f = CfgFile(self, folder, name, typ, lfolder, kind not in UNREAD_FILES)
        f.painted_for = painted_for
        general = ["[General]", f"atc_model={typ}", "editable=1", "performance=generated"]
        file_lines = []
        if kind == "fixed_model":
            wrong = rng.choice(sorted(w for w, c in self.db.fixes.items() if c == typ))
            general[1] = f"atc_model={wrong}"
            file_lines.append(("Fixes.txt", f"Model fix: {wrong} found in {f.path_text} changed into {typ}"))
        elif kind == "unknown_model":
            general[1] = "atc_model=ZZ99"
            file_lines.append(("InvalidAircraftCodes.txt", f"{'ZZ99':16} in {f.path_text}"))
        elif kind == "no_atc_model":
            del general[1]
            file_lines.append(("InvalidAircraftCfgFiles.txt",
                               f"Line atc_model= is missing in [General] section of {f.path_text}"))
        elif kind == "no_sections":
            file_lines.append(("AircraftCfgWithNoFltsimSection.txt", f.path_text))
        elif kind == "number_10001":
            file_lines.append(("InvalidAircraftCfgFiles.txt",
                               f"{f.path_text} contains a [fltsim.x] section with a number < 0 or > 10000"))
        elif kind == "number_huge":
            self.logged.append("==> fltsim num 99999999999 incorrect")
        if kind != "regular":
            self.plant(kind)

        lines = list(general)
        for i in range(0 if kind == "no_sections" else n_sections):
            header = f"[fltsim.{i}]"
            if i == 0 and kind == "number_10001":
                header = "[fltsim.10001]"
            elif i == 0 and kind == "number_huge":
                header = "[fltsim.99999999999]"
            elif rng.random() < 0.01:
                header = rng.choice(["[fltsim.x]", f"[FltSim.{i}]", f"  [fltsim.{i}]  "])
            lines += self.section(header, f) + [""]

        for report, line in file_lines:
            self.reports[report].append(line)
        if f.read:
            # The sections of an unread file are never parsed: nothing of them counts.
            for report, line in f.lines_out:
                self.reports[report].append(line)
            self.records += f.records
            self.not_to_use += f.not_to_use
            for lines_, rec, texture, model in f.valid_sections:
                if not rec["copies"]:
                    self.pool.setdefault((lfolder, typ), []).append((lines_, rec, texture, model))
        self.write_cfg(f.path, lines)
        for model in f.models:
            (folder / (f"model.{model}" if model else "model")).mkdir(exist_ok=True)
        for texture in f.textures:
            (folder / f"texture.{texture}").mkdir(exist_ok=True)
        (folder / f"{typ}.air").write_bytes(b"\0air")
        if rng.random() < 0.05:
            (folder / "aircraft.cfg.bak").write_text("[fltsim.0]\ntitle=Backup only\n", encoding="utf-8")

    def write_cfg(self, path: pathlib.Path, lines: list):
        """About 60% Windows-1252, 20% UTF-8, 10% UTF-8 with BOM, 8% UTF-16LE and 2% UTF-16BE
        with BOM; CR LF or LF."""
        eol = "\r\n" if self.rng.random() < 0.6 else "\n"
        text = eol.join(lines) + eol
        roll = self.rng.random()
        if roll < 0.6:
            data = text.encode("cp1252")
        elif roll < 0.8:
            data = self.straddle(text) if not self.straddled else text.encode("utf-8")
        elif roll < 0.9:
            data = b"\xef\xbb\xbf" + text.encode("utf-8")
        elif roll < 0.98:
            data = b"\xff\xfe" + text.encode("utf-16-le")
        else:
            data = b"\xfe\xff" + text.encode("utf-16-be")
        path.write_bytes(data)

    def straddle(self, text: str) -> bytes:
        """Puts a two-byte UTF-8 character on bytes 4095 and 4096 of the file."""
        at = text.find("description=") + len("description=")
        head = text[:at].encode("utf-8")
        if at < len("description=") or len(head) >= 4095:
            return text.encode("utf-8")
        self.straddled = True
        return (text[:at] + "x" * (4095 - len(head)) + "é" + text[at:]).encode("utf-8")

    def ivao(self, lfolder_path: pathlib.Path, lfolder: int):
        """IVAO_MTL packages: the type in the package's name, the airline in the title."""
        rng, db = self.rng, self.db
        types = [t for t in self.types if t not in IVAO_SHORTENED][:6]
        for n, typ in enumerate(types):
            package = lfolder_path / "IVAO_MTL" / f"IVAO_{typ}{'w' if n % 2 else ''}"
            package.mkdir(parents=True, exist_ok=True)
            folder, path = self.text(package), self.text(package / "aircraft.cfg")
            lines = []
            for i in range(12):
                header = f"[fltsim.{i}]"
                reg = rng.choice(db.by_type[typ])
                airl = db.records[reg][2] or db.records[reg][0]
                self.counter += 1
                title, atc = f"{typ}{airl} IVAO {rng.choice(WORDS)} #{self.counter:06d}", reg
                rec = {"airl": airl, "type": typ, "title": title, "atcid": reg, "cargo": False, "lfolder": lfolder}
                roll = rng.random()
                if roll < 0.1:
                    # Three word characters that no ICAO code is.
                    title = f"{typ}Q9Q IVAO #{self.counter:06d}"
                    self.reports["InvalidAirlineCodes.txt"].append(f"{'Q9Q':12} in {path} {header}")
                    rec = None
                elif roll < 0.2:
                    title, atc = f"IVAO {typ} #{self.counter:06d}", ""
                    self.reports[INCOMPLETE].append(
                        f"{folder} {header} misses airlinecode in title: {title}, and no regcode")
                    rec = None
                elif roll < 0.3:
                    # No airline where the reader looks: it takes the registration's, then
                    # its operator's.
                    title = rec["title"] = f"IVAO {airl} {typ} #{self.counter:06d}"
                    rec["airl"] = db.records[reg][0]
                lines += [header, f"title={title}", f"sim={typ}", "model=", f"texture=i{self.counter}",
                          "atc_parking_types=GATE,CARGO", f"atc_id={atc}", f'ui_type="{typ}"', self.description(), ""]
                (package / f"texture.i{self.counter}").mkdir()
                if rec:
                    self.records.append(rec)
                self.plant("ivao")
            (package / "model").mkdir(exist_ok=True)
            (package / f"{typ}.air").write_bytes(b"\0air")
            self.write_cfg(package / "aircraft.cfg", lines)
            # Opened by no task: a sim.cfg in a package.
            (package / "sim.cfg").write_text("[fltsim.0]\ntitle=never read\n", encoding="utf-8")
        other = lfolder_path / "ivao_x-csl" / "B738"
        other.mkdir(parents=True, exist_ok=True)
        (other / "aircraft.cfg").write_text("[fltsim.0]\ntitle=never read either\n", encoding="utf-8")

    def unreachable_folders(self, lfolder_path: pathlib.Path):
        """Folders whose liveries the walk never reaches: below "airport", a path too long for
        Windows programs, and (unless asked not to) a folder nobody may read."""
        blocked = [lfolder_path / "airport" / "Scenery", lfolder_path / ("L" * 200) / ("o" * 60)]
        if not self.args.no_unreadable:
            blocked.append(lfolder_path / "locked")
        for folder in blocked:
            folder.mkdir(parents=True, exist_ok=True)
            typ = self.rng.choice(self.types)
            reg = self.rng.choice(self.db.by_type[typ])
            (folder / "aircraft.cfg").write_text(
                f"[General]\natc_model={typ}\n[fltsim.0]\ntitle=Unreachable {folder.name[:10]}\nsim={typ}\n"
                f"model=\ntexture=u\natc_parking_codes={self.db.records[reg][0]}\natc_id={reg}\n", encoding="utf-8")
            (folder / "model").mkdir(exist_ok=True)
            (folder / "texture.u").mkdir(exist_ok=True)
            (folder / f"{typ}.air").write_bytes(b"\0air")
        if not self.args.no_unreadable:
            os.chmod(lfolder_path / "locked", 0)
            self.logged.append(f"==> liveries search skips {self.text(lfolder_path / 'locked')}: ")

    # ---- what the scan must give
    def manifest(self, lfolders: list) -> dict:
        conversions, final = [], []
        for rec in self.records:
            r = dict(rec)
            found = self.db.lookup(r["atcid"])
            if found:
                airl, typ, opr, cargo = found
                pad = r["title"].ljust(80)
                if r["cargo"] != cargo:
                    conversions.append(f"{pad} {r['atcid']} cargo {str(r['cargo']).lower()} => {str(cargo).lower()}")
                    r["cargo"] = cargo
                target = opr or airl
                if target and r["airl"] != target:
                    conversions.append(f"{pad} {r['atcid']} airl {r['airl']} => {target}")
                    r["airl"] = target
                if typ and r["type"] != typ:
                    conversions.append(f"{pad} {r['atcid']} model {r['type']} => {typ}")
                    r["type"] = typ
            final.append(r)
        # The first folder that holds an airline and type keeps all of its liveries of them.
        first = {}
        for r in final:
            first[(r["airl"], r["type"])] = min(first.get((r["airl"], r["type"]), 99), r["lfolder"])
        kept = sorted((r for r in final if first[(r["airl"], r["type"])] == r["lfolder"]),
                      key=lambda r: (r["airl"].encode(), r["type"].encode(), r["title"].encode()))
        groups = [[f"{r['folder']} {r['header']} title '{r['title']}' already exists"] + r["copies"]
                  for r in self.records if r.get("copies")]
        reports = {name: sorted(set(lines) if name == INCOMPLETE else lines, key=str.encode)
                   for name, lines in self.reports.items()}
        reports["AirlineModelConversions.txt"] = sorted(conversions, key=str.encode)
        return {
            "lfolders": [self.text(p) for p in lfolders],
            "records": [{k: r[k] for k in ("airl", "type", "title", "atcid", "cargo")} for r in kept],
            "reports": {name: lines for name, lines in reports.items() if lines},
            "title_groups": groups,
            "logged": self.logged,
            "not_to_use": self.not_to_use,
            "planted": dict(sorted(self.planted.items())),
        }


def write_aig_regcodes(path: pathlib.Path, liveries: list):
    """liveries: (title, reg or None, special) in file order."""
    root = ET.Element("root")
    meta = ET.SubElement(root, "meta")
    for name, value in (("author", "livery_collection.py"), ("version", "1.0.0"), ("date", "2026-12-01"),
                        ("copyright", "generated")):
        ET.SubElement(meta, "info", name=name, value=value)
    table = ET.SubElement(root, "AIG-regcodes")
    for title, reg, special in liveries:
        attributes = {"title": title}
        if reg is not None:
            attributes["reg"] = reg
        if special:
            attributes["special"] = "true"
        ET.SubElement(table, "livery", attributes)
    ET.indent(root)
    ET.ElementTree(root).write(path, encoding="utf-8", xml_declaration=True)


class Regcodes:
    """AIG-regcodes.xml and my_regcodes/my_liveries.txt for the collection's liveries, and the
    registration table the livery tables must make of the in-line registrations and the two
    lists: later sources replace earlier ones, titles the user lacks are skipped."""

    def __init__(self, db: Database, records: list, not_to_use: list, seed: int):
        self.db, self.records, self.not_to_use = db, records, not_to_use
        self.rng = random.Random(seed + 1)  # the collection's own bytes stay as they were
        self.titles = {r["title"] for r in records}
        self.fleet = {}  # (airline, type) -> registrations of the database
        for reg, (airl, typ, opr, _) in db.records.items():
            if 3 <= len(reg) <= 12:
                self.fleet.setdefault((opr or airl, typ), []).append(reg)
        self.registrations, self.special, self.reserved = {}, set(), []
        for r in records:
            if r["atcid"]:
                self.registrations.setdefault(r["atcid"], r["title"])
        self.inline = dict(self.registrations)
        self.key_of = {r["title"]: (r["airl"], r["type"]) for r in records}

    def others_of_key(self, rec: dict, registrations: dict) -> list:
        """Registrations that other liveries of the same airline and type carry: a livery
        may take one over and stay true to the registration table."""
        key = (rec["airl"], rec["type"])
        return sorted(reg for reg, title in registrations.items()
                      if title != rec["title"] and self.key_of.get(title) == key and 3 <= len(reg) <= 12)

    def regs_for(self, rec: dict, count: int) -> list:
        pool = sorted(self.fleet.get((rec["airl"], rec["type"]), []))
        if rec["atcid"]:
            pool.append(rec["atcid"])
        if not pool:
            return []
        return sorted(set(self.rng.sample(pool, min(count, len(pool)))))

    def merge(self, title: str, regs: list, special: bool):
        if title not in self.titles:
            return
        for reg in regs:
            self.registrations[reg] = title
            if special and len(regs) == 1:
                self.special.add(reg)
        if special:
            self.reserved.append(title)

    def aig(self) -> list:
        """(title, reg text or None, special) in file order."""
        rng, out = self.rng, []
        # Liveries the reader skips or the merge cannot use. Titles without registrations
        # are not to be used at the next scan: they name none of the usable liveries.
        extras = [("", "Q-0001", False), ("Tav livery nobody has #000000", "Q-0002", False),
                  ("Tav retired livery #000000", None, False)] + [(t, None, False) for t in self.not_to_use[:3]]
        for rec in (r for r in self.records if len(r["title"]) < 1000):
            if extras and rng.random() < 0.01:
                out.append(extras.pop())
            if rng.random() >= 0.5:
                continue
            roll = rng.random()
            if roll < 0.04:
                regs, special = self.regs_for(rec, 1), True
            elif roll < 0.08:
                regs, special = self.regs_for(rec, 2), True
            elif roll < 0.12 and self.others_of_key(rec, self.inline):
                # A registration another livery carries in-line: this one takes it over.
                regs = {rng.choice(self.others_of_key(rec, self.inline))} | set(self.regs_for(rec, 1))
                regs, special = sorted(regs), False
            else:
                regs, special = self.regs_for(rec, rng.randint(1, 3)), False
            if not regs:
                continue
            if special and len(regs) != (1 if roll < 0.04 else 2):
                special = False
            out.append((rec["title"], ",".join(regs), special))
            if rng.random() < 0.02:
                out.append(out[-1])  # refused by the reader: the same title as the one before
        out += extras
        previous = None
        for title, regs, special in out:
            if title and title != previous:
                self.merge(title, sorted(set(regs.split(","))) if regs else [], special)
                previous = title
        return out

    def mine(self) -> list:
        """Lines of my_liveries.txt: "title;reg" (special), "title;reg,reg" and
        "title;reg,reg;#" (special), some taking registrations the AIG list gave others."""
        rng, lines = self.rng, []
        usable = [r for r in self.records if len(r["title"]) < 1000]
        for rec in rng.sample(usable, min(len(usable), max(3, len(usable) // 20))):
            taken = self.others_of_key(rec, self.registrations)
            regs = self.regs_for(rec, 2)
            if taken and rng.random() < 0.3:
                regs = sorted(set(regs + [rng.choice(taken)]))
            if not regs:
                continue
            roll = rng.random()
            if roll < 0.2:
                regs, suffix = regs[:1], ""
            elif roll < 0.3 and len(regs) > 1:
                suffix = ";#"
            else:
                suffix = ""
            lines.append(f"{rec['title']};{','.join(regs)}{suffix}")
            self.merge(rec["title"], regs, len(regs) == 1 or suffix == ";#")
        return lines

    def manifest(self) -> dict:
        return {"registrations": dict(sorted(self.registrations.items())), "special": sorted(self.special),
                "reserved": self.reserved}


def section_counts(rng: random.Random, folders: int, sections: int) -> list:
    """1 to 300 sections a file, most files small, adding up to the number asked for."""
    sizes = []
    for _ in range(folders):
        roll = rng.random()
        sizes.append(rng.randint(1, 6) if roll < 0.7 else rng.randint(7, 30) if roll < 0.95 else rng.randint(31, 300))
    while sum(sizes) > sections and any(s > 1 for s in sizes):
        i = rng.randrange(folders)
        sizes[i] = max(1, sizes[i] - 1 - (sum(sizes) - sections) // (4 * folders))
    while sum(sizes) < sections:
        i = rng.randrange(folders)
        sizes[i] = min(300, sizes[i] + 1 + (sections - sum(sizes)) // (4 * folders))
    return sizes


def build(args) -> dict:
    db = Database(pathlib.Path(args.data))
    out = pathlib.Path(args.out)
    out.mkdir(parents=True, exist_ok=True)
    c = Collection(db, out, args)
    rng = c.rng
    fixable = sorted(t for t in c.types if t in set(db.fixes.values()))
    lfolders = [out / f"lf{i}" for i in range(args.lfolders)]
    # The first folders hold one type of each category, so that even a small collection
    # has a helicopter, a light aircraft and a business jet.
    coverage = [rng.choice(pool) for pool in ([t for t in c.types if db.category(t) == name]
                                              for name in ("rotorcraft", "light", "buzjet", "heavy", "large")) if pool]
    # Then, with --airlines, a folder for each of the first four airlines given (the demo's
    # home airlines): a type it flies, painted for it.
    leading = []
    for airline in c.airlines[:4]:
        flown = [t for t in c.types if (airline, t) in c.by_airline]
        if flown:
            leading.append((airline, rng.choice(flown)))
    for i, size in enumerate(section_counts(rng, args.folders, args.sections)):
        k = i % args.lfolders
        kind = fault_kind(rng, args.fault_rate, FILE_FAULTS, "regular")
        typ = rng.choice(fixable if kind == "fixed_model" and fixable else c.types)
        painted_for = None
        if i < len(coverage) and kind == "regular":
            typ = coverage[i]
        elif i < len(coverage) + len(leading) and kind == "regular":
            painted_for, typ = leading[i - len(coverage)]
        if kind == "fixed_model" and not fixable:
            kind = "regular"
        parent = "Airport" if rng.random() < 0.02 else rng.choice(["Aircraft", "Aircraft", "Boeing", "Mixed"])
        c.aircraft_folder(lfolders[k] / parent / f"{typ}_{i:05d}", k + 1, typ, kind, size, painted_for)
    c.ivao(lfolders[-1], len(lfolders))
    c.unreachable_folders(lfolders[0])
    return c.manifest(lfolders)


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--data", required=True, help="folder with the builder's dbase.xml and registrations.csv")
    p.add_argument("--out", required=True, help="the collection's folder (lf0, lf1, ... below it)")
    p.add_argument("--seed", type=int, default=20250611)
    p.add_argument("--lfolders", type=int, default=3)
    p.add_argument("--folders", type=int, default=2000)
    p.add_argument("--sections", type=int, default=20000)
    p.add_argument("--fault-rate", type=float, default=0.02, help="share of sections (files) of each fault kind")
    p.add_argument("--description-min", type=int, default=2048)
    p.add_argument("--description-max", type=int, default=8192)
    p.add_argument("--no-unreadable", action="store_true", help="plant no folder that cannot be read")
    p.add_argument("--types", default="", help="comma list: the folders' types are of these only")
    p.add_argument("--airlines", default="",
                   help="comma list: a section's aircraft is one of these airlines' when its type has one")
    args = p.parse_args()
    manifest = build(args)
    out = pathlib.Path(args.out)
    folder = out / "my_regcodes"
    folder.mkdir(exist_ok=True)
    (folder / "dont_use.txt").write_bytes("".join(t + "\r\n" for t in manifest["not_to_use"]).encode("cp1252"))
    regcodes = Regcodes(Database(pathlib.Path(args.data)), manifest["records"], manifest["not_to_use"], args.seed)
    write_aig_regcodes(out / "AIG-regcodes.xml", regcodes.aig())
    (folder / "my_liveries.txt").write_bytes(("\ufeff" + "".join(l + "\n" for l in regcodes.mine())).encode("utf-8"))
    manifest["regcodes"] = regcodes.manifest()
    (out / "manifest.json").write_text(json.dumps(manifest, ensure_ascii=False, indent=1), encoding="utf-8")
    print(f"{len(manifest['records'])} liveries expected; planted: {manifest['planted']}")


if __name__ == "__main__":
    main()
