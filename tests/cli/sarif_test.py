"""korvane-check --format=sarif, validated against the SARIF 2.1.0 JSON schema by
an independent validator (python3-jsonschema), and compared with the JSON
format's findings: one result per finding, at its line, with every key's
origin and every #include line among its related locations.

Usage: sarif_test.py KORVANE_CHECK EXAMPLES_FOLDER TOOLS_FOLDER

The schema comes from an npm package that ships it, fetched once into
TOOLS_FOLDER (npm pack: the package alone, none of its dependencies) and
checked against the digest below.
"""

import hashlib
import json
import os
import pathlib
import subprocess
import sys
import tarfile
import tempfile

import jsonschema

SCHEMA_PACKAGE = "@microsoft/jest-sarif@1.0.0-beta.0"
SCHEMA_IN_PACKAGE = "package/lib/schemas/sarif-2.1.0-rtm.5.json"
SCHEMA_SHA256 = "2d99159ae54a3eea97f81781cff48780548657c35949f4b7f25e99a2ba4de4f8"


def schema(tools):
    path = pathlib.Path(tools) / "sarif-schema-2.1.0.json"
    if not path.exists():
        path.parent.mkdir(parents=True, exist_ok=True)
        with tempfile.TemporaryDirectory() as scratch:
            subprocess.run(["npm", "pack", "--silent", "--pack-destination", scratch,
                            SCHEMA_PACKAGE], check=True, stdout=subprocess.DEVNULL)
            (tarball,) = pathlib.Path(scratch).glob("*.tgz")
            with tarfile.open(tarball) as archive:
                data = archive.extractfile(SCHEMA_IN_PACKAGE).read()
        if hashlib.sha256(data).hexdigest() != SCHEMA_SHA256:
            sys.exit(f"{SCHEMA_PACKAGE}: {SCHEMA_IN_PACKAGE} is not the schema expected")
        path.write_bytes(data)
    return json.loads(path.read_text())


def run(checker, *args):
    done = subprocess.run([checker, *args], capture_output=True, env=dict(os.environ, LC_ALL="C"))
    return done.returncode, done.stdout.decode()


def located(physical):
    return (physical["artifactLocation"]["uri"], physical.get("region", {}).get("startLine"))


def main():
    checker, examples, tools = sys.argv[1:]
    validator_class = jsonschema.validators.validator_for(schema(tools))
    validator = validator_class(schema(tools), format_checker=jsonschema.FormatChecker())
    failures = []
    for target in ["server.cfg", "clean.cfg", "zone"]:
        path = os.path.join(examples, target)
        status, out = run(checker, "--format=sarif", path)
        sarif = json.loads(out)
        for error in validator.iter_errors(sarif):
            failures.append(f"{target}: {error.message} at {list(error.absolute_path)}")
        _, out_json = run(checker, "--format=json", "--explain", path)
        findings = [(obj, f) for line in out_json.splitlines()
                    for obj in [json.loads(line)] for f in obj.get("findings", [])]
        (sarif_run,) = sarif["runs"]
        rules = sarif_run["tool"]["driver"]["rules"]
        results = sarif_run["results"]
        expect = [
            (len(rules), 16, "rules"),
            (len({r["id"] for r in rules}), 16, "distinct rule ids"),
            (len(results), len(findings), "one result per finding"),
            (status, 1 if findings else 0, "exit status"),
        ]
        for got, wanted, what in expect:
            if got != wanted:
                failures.append(f"{target}: {what}: {got}, expected {wanted}")
        for result, (obj, finding) in zip(results, findings):
            where = located(result["locations"][0]["physicalLocation"])
            if finding["line"] is not None and where[1] != finding["line"]:
                failures.append(f"{target}: {result['message']['text']} at {where}, "
                                f"expected line {finding['line']}")
            if rules[result["ruleIndex"]]["id"] != result["ruleId"]:
                failures.append(f"{target}: ruleIndex and ruleId disagree")
            related = {located(r["physicalLocation"]) for r in result.get("relatedLocations", [])}
            lines = {(k["file"], k["line"]) for k in finding["keys"] if k["line"] is not None}
            lines |= {(v["file"], v["line"]) for k in finding["keys"] for v in k["via"]}
            if {line for _, line in related} != {line for _, line in lines}:
                failures.append(f"{target}: related lines {sorted(related)}, expected {sorted(lines)}")
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
