"""Runs chosen tests of several GUI test files against one program, so that they share its
start-up (for the Windows executable, one Wine prefix and server):

    python3 tests/gui/run_selected.py <ov_installer binary | --wine ov_installer.exe> TEST...

where each TEST is file.Class or file.Class.test_name, as in test_window.WindowTests.
"""
import importlib
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xsession import take_program  # noqa: E402
import unittest_main  # noqa: E402

if __name__ == "__main__":
    program = take_program(sys.argv)
    suite = unittest.TestSuite()
    for name in sys.argv[1:]:
        module = importlib.import_module(name.split(".")[0])
        module.PROGRAM = program
        suite.addTest(unittest.defaultTestLoader.loadTestsFromName(name))
    unittest_main.exit_with(unittest.TextTestRunner(verbosity=2).run(suite))
