"""An old-style class standing in for the vector module, as a vector module
written in Python would export it. install() puts it in sys.modules as the
module Triad; import the module under test after that."""
import sys
import types

# Set by a test to run code while vectors are being built.
on_build = [None]


class OldTriad:
    def __init__(self, x, y, z):
        if on_build[0] is not None:
            on_build[0](x, y, z)
        self.values = [x, y, z]

    def __getitem__(self, i):
        return self.values[i]


class OldTriadChild(OldTriad):
    pass


def install():
    fake = types.ModuleType('Triad')
    fake.Triad = OldTriad
    sys.modules['Triad'] = fake
