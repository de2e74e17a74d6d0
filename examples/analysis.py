"""Example analysis: a short engineering report that exercises every module
built so far. Each module contributes one section, written by
examples/report_<module>.py; sections of modules not built yet are left out.
"""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SECTIONS = ["triad", "hexad", "ennead", "seqmath", "crackrate", "eightfold", "boxfinder"]


def load_section(name, path):
    """The section module at `path`, loaded under the name `name`."""
    if sys.version_info[0] >= 3:
        import importlib.util
        found = importlib.util.spec_from_file_location(name, path)
        module = importlib.util.module_from_spec(found)
        found.loader.exec_module(module)
        return module
    import imp
    return imp.load_source(name, path)


def main(out=sys.stdout):
    out.write("Example analysis report\n")
    out.write("=======================\n")
    for name in SECTIONS:
        path = os.path.join(HERE, "report_%s.py" % name)
        if not os.path.exists(path):
            continue
        section = load_section("report_%s" % name, path)
        out.write("\n")
        section.report(out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
