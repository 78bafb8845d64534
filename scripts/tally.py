#!/usr/bin/python3
"""Sums the JUnit XML reports of every test level into one line.

    tally.py [--passed-stage NAME | --failed-stage NAME]... REPORT.xml...

Prints the tests of each report, then the final line `N passed, N failed`
(with `, N skipped` when any were skipped). A stage without a report counts
as one test: a fuzzing run that found nothing passes, a build that failed
fails. Exits 1 when anything failed.
"""
import sys
import xml.etree.ElementTree as ET


def count_report(path):
    """(passed, failed, skipped, names of failed cases) of one JUnit report."""
    passed = failed = skipped = 0
    failures = []
    root = ET.parse(path).getroot()
    for case in root.iter("testcase"):
        outcome = {child.tag for child in case}
        name = "%s.%s" % (case.get("classname", ""), case.get("name", ""))
        if outcome & {"failure", "error"}:
            failed += 1
            failures.append(name)
        elif "skipped" in outcome:
            skipped += 1
        else:
            passed += 1
    return passed, failed, skipped, failures


def main(argv):
    passed_stages, failed_stages, reports = [], [], []
    args = iter(argv)
    for arg in args:
        if arg == "--failed-stage":
            failed_stages.append(next(args))
        elif arg == "--passed-stage":
            passed_stages.append(next(args))
        else:
            reports.append(arg)

    total_passed = total_failed = total_skipped = 0
    for path in reports:
        try:
            passed, failed, skipped, failures = count_report(path)
        except (OSError, ET.ParseError) as error:
            print("tally: %s: unreadable report (%s)" % (path, error))
            failed_stages.append(path)
            continue
        print("tally: %s: %d passed, %d failed, %d skipped" % (path, passed, failed, skipped))
        for name in failures:
            print("tally:   failed: %s" % name)
        total_passed += passed
        total_failed += failed
        total_skipped += skipped
    for stage in passed_stages:
        print("tally: stage passed: %s" % stage)
    total_passed += len(passed_stages)
    for stage in failed_stages:
        print("tally: stage failed: %s" % stage)
    total_failed += len(failed_stages)

    line = "%d passed, %d failed" % (total_passed, total_failed)
    if total_skipped:
        line += ", %d skipped" % total_skipped
    print(line)
    return 1 if total_failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
