#!/usr/bin/env python3
"""The stages' results, from the JUnit reports CTest writes (build/junit/STAGE.xml).

  junit.py check DIR NAME STATUS   report a check that is not a CTest test as one test
  junit.py summary DIR NAME...     one line per report in that order, then "N passed, N failed";
                                   exits 1 when a test failed or a report is missing
A test CTest did not count (disabled) is left out; one that skipped itself passed and one that
could not run failed, as CTest counts them.
"""
import sys
import xml.etree.ElementTree as ET
from pathlib import Path


def check(folder, name, status):
    failed = int(status != "0")
    Path(folder).mkdir(parents=True, exist_ok=True)
    suite = ET.Element("testsuite", name=name, tests="1", failures=str(failed), disabled="0",
                       skipped="0")
    ET.SubElement(suite, "testcase", name=name, classname=name,
                  status="fail" if failed else "run")
    ET.ElementTree(suite).write(Path(folder) / f"{name}.xml", encoding="UTF-8",
                                xml_declaration=True)


def counts(report):
    """(passed, failed) of one report; a stage without one (it did not get to its tests) failed."""
    try:
        suite = ET.parse(report).getroot()
    except (OSError, ET.ParseError):
        return 0, 1
    tests, failures, disabled = (int(suite.get(a, "0")) for a in ("tests", "failures", "disabled"))
    # A test that did not run because its fixture failed or its program is missing failed, as
    # CTest counts it; one that skipped itself (SKIP_RETURN_CODE, SKIP_REGULAR_EXPRESSION) passed.
    for case in suite.iter("testcase"):
        skipped = case.find("skipped")
        if case.get("status") == "notrun" and not (
                skipped is not None and skipped.get("message", "").startswith("SKIP_")):
            failures += 1
    return tests - disabled - failures, failures


def summary(folder, names):
    total_passed = total_failed = 0
    for name in names:
        passed, failed = counts(Path(folder) / f"{name}.xml")
        total_passed += passed
        total_failed += failed
        print(f"{name:<12} {passed:4d} passed, {failed} failed")
    print(f"{total_passed} passed, {total_failed} failed")
    return 1 if total_failed else 0


if __name__ == "__main__":
    if len(sys.argv) == 5 and sys.argv[1] == "check":
        check(*sys.argv[2:])
    elif len(sys.argv) >= 3 and sys.argv[1] == "summary":
        sys.exit(summary(sys.argv[2], sys.argv[3:]))
    else:
        sys.exit(__doc__)
