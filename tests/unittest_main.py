"""unittest's main for the Python tests that ctest runs: it lists each skipped test with its
reason at the end, and a run in which every test was skipped exits with SKIPPED, which ctest
shows as skipped (the tests' SKIP_RETURN_CODE) rather than as passed."""
import sys
import unittest

SKIPPED = 77


def exit_with(result):
    for test, reason in result.skipped:
        print("skipped %s: %s" % (test.id(), reason))
    if not result.wasSuccessful():
        sys.exit(1)
    if result.skipped and len(result.skipped) >= result.testsRun:
        sys.exit(SKIPPED)
    sys.exit(0 if result.testsRun > 0 else 1)


def main():
    exit_with(unittest.main(verbosity=2, exit=False).result)
