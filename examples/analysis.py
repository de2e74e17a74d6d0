"""Example analysis: a short engineering report that exercises every module
built so far. Each module contributes one section, written by
examples/report_<module>.py; sections of modules not built yet are left out.
"""
import imp
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SECTIONS = ["triad", "hexad", "ennead", "seqmath", "crackrate", "eightfold", "boxfinder"]


def main(out=sys.stdout):
    out.write("Example analysis report\n")
    out.write("=======================\n")
    for name in SECTIONS:
        path = os.path.join(HERE, "report_%s.py" % name)
        if not os.path.exists(path):
            continue
        section = imp.load_source("report_%s" % name, path)
        out.write("\n")
        section.report(out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
