"""Installs the seven extension modules for the interpreter that runs it.

    python -m pip install .

(the README lists the options an offline machine needs). The modules are
built by the project's own CMake build, configured for this one interpreter
(MODULES_FOR_PYTHON) in a temporary folder that is removed afterwards; the
sources, compiler flags and link rules live in CMake alone. Each module is
installed as a top-level extension module, so that `import Triad` works.
setuptools' own folders (build/ and numeric_blocks.egg-info) go to a
temporary folder of this run, removed at its exit, so that the clone stays
as it was and installs from it under both interpreters, in either order,
find no leftovers of each other.

Needs CMake 3.20 or later (or the one named by the CMAKE environment
variable), g++ and the interpreter's headers (Debian: cmake, g++ and, for
Python 3, python3-dev). The same script runs under Python 2.7 (setuptools 41,
pip 19) and Python 3 (setuptools 66, pip 23).
"""
import atexit
import io
import os
import shutil
import subprocess
import sys
import tempfile

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = os.path.dirname(os.path.abspath(__file__))


def module_names():
    """Import names, in the order CMake adds their folders: the second word
    of each folder line of modules.txt that has one."""
    names = []
    with io.open(os.path.join(HERE, "modules.txt")) as f:
        for line in f:
            words = line.split()
            if len(words) == 2 and not line.startswith("#"):
                # A native string: Python 2.7's setuptools takes no unicode names.
                names.append(str(words[1]))
    return names


MODULES = module_names()


def scratch_folder():
    """A temporary folder for setuptools' build and egg-info folders, outside
    the source tree and removed when this run ends. A folder left in the
    tree would be seen by the next interpreter's pip (the egg-info as an
    installed package, with the current folder on its path)."""
    folder = tempfile.mkdtemp(prefix="numeric-blocks-setup-")
    atexit.register(shutil.rmtree, folder, True)
    return folder


SCRATCH = scratch_folder()


class CMakeExtension(Extension):
    """A module whose sources CMake knows: setuptools compiles nothing."""

    def __init__(self, name):
        Extension.__init__(self, name, sources=[])


class CMakeBuild(build_ext):
    """One CMake build of every module, then each copied where setuptools
    expects it (the build folder, or the source tree with --inplace)."""

    def run(self):
        cmake = os.environ.get("CMAKE", "cmake")
        build_dir = tempfile.mkdtemp(prefix="numeric-blocks-")
        try:
            self._run([cmake, "-S", HERE, "-B", build_dir,
                       "-DMODULES_FOR_PYTHON=" + sys.executable,
                       "-DCMAKE_BUILD_TYPE=Release"], cmake)
            build = [cmake, "--build", build_dir, "--target", "python_modules"]
            # Two jobs unless CMake's own variable says otherwise: the
            # build is meant for shared two-core machines.
            if not os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL"):
                build += ["-j", "2"]
            self._run(build, cmake)
            for ext in self.extensions:
                # CMake names each module with the interpreter's extension
                # suffix, as setuptools does.
                name = os.path.basename(self.get_ext_filename(ext.name))
                built = os.path.join(build_dir, "lib", name)
                if not os.path.isfile(built):
                    raise SystemExit("error: the CMake build made no %s" % built)
                destination = self.get_ext_fullpath(ext.name)
                self.mkpath(os.path.dirname(destination))
                self.copy_file(built, destination)
        finally:
            shutil.rmtree(build_dir, ignore_errors=True)

    @staticmethod
    def _run(command, cmake):
        print(" ".join(command))
        sys.stdout.flush()
        try:
            subprocess.check_call(command)
        except OSError as error:
            raise SystemExit("error: cannot run %s (%s): CMake 3.20 or later is needed; "
                             "install it (Debian: cmake) or name it by the CMAKE "
                             "environment variable" % (cmake, error))
        except subprocess.CalledProcessError as error:
            raise SystemExit("error: %s failed with status %d"
                             % (" ".join(command[:2]), error.returncode))


with io.open(os.path.join(HERE, "README.md"), encoding="utf-8") as readme:
    LONG_DESCRIPTION = readme.read()

setup(
    name="numeric-blocks",
    version="1.0.0",
    description=("Native numerical building blocks for engineering analysis scripts: "
                 "vectors, tensors, crack growth rates, an octree and a box search tree"),
    long_description=LONG_DESCRIPTION,
    long_description_content_type="text/markdown",
    license="Proprietary",
    python_requires=">=2.7, !=3.0.*, !=3.1.*, !=3.2.*, !=3.3.*, !=3.4.*, !=3.5.*",
    classifiers=[
        "License :: Other/Proprietary License",
        "Programming Language :: C++",
        "Programming Language :: Python :: 2.7",
        "Programming Language :: Python :: 3",
        "Operating System :: POSIX :: Linux",
        "Topic :: Scientific/Engineering",
    ],
    # Only extension modules: no Python package to look for in the tree.
    packages=[],
    py_modules=[],
    ext_modules=[CMakeExtension(name) for name in MODULES],
    cmdclass={"build_ext": CMakeBuild},
    # Out of the source tree (options on the command line still win); an
    # editable install (develop) keeps its egg-info in the tree, where its
    # link into site-packages points.
    options=dict([("build", {"build_base": os.path.join(SCRATCH, "build")})]
                 + ([] if "develop" in sys.argv else [("egg_info", {"egg_base": SCRATCH})])),
    zip_safe=False,
)
