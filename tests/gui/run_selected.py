"""Runs chosen tests of several GUI test files against one program, so that they share its
set-up (for the Windows executable, one wineboot):

    python3 run_selected.py <binary | --wine EXE> test_window.WindowTests.test_x test_screen.ScreenTests ...
"""
import importlib
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xsession import take_program  # noqa: E402

if __name__ == "__main__":
    program = take_program(sys.argv)
    names = sys.argv[1:]
    for module_name in sorted({name.split(".")[0] for name in names}):
        importlib.import_module(module_name).PROGRAM = program
    suite = unittest.defaultTestLoader.loadTestsFromNames(names)
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    sys.exit(0 if result.wasSuccessful() else 1)
