"""Builds the extension module of the Python package from the library's
own sources (pyproject.toml holds the metadata), and puts the shipped
tables and the CC-CEDICT licence inside the package."""
import glob
import os
import re
import shutil

from pybind11.setup_helpers import Pybind11Extension, ParallelCompile
from setuptools import setup
from setuptools.command.build_py import build_py

HERE = os.path.dirname(os.path.abspath(__file__))


def library_sources():
    """The library's sources as CMakeLists.txt lists them for kesti_objects
    (one list for every build), without the two exports' own file."""
    with open(os.path.join(HERE, "CMakeLists.txt"), encoding="utf-8") as cmake:
        text = cmake.read()
    found = []
    for opening in re.finditer(r"(add_library|target_sources)\(kesti_objects\b", text):
        body = text[opening.end():text.index(")", opening.end())]
        found += [word for word in body.split() if word.endswith(".cpp")]
    return [source for source in found if source != "api/convert.cpp"]


# The library's conversions (not its two exports, nor the command) and the
# binding; or, where KESTI_LINK_LIBRARY names the directory of a built
# libkesti.so (as a distribution's package builds it), the binding alone,
# linked against that library.
LINK_LIBRARY = os.environ.get("KESTI_LINK_LIBRARY")
if LINK_LIBRARY:
    SOURCES = ["python/src/_kesti.cpp"]
    LIBRARIES = ["kesti"]
else:
    SOURCES = ["python/src/_kesti.cpp"] + library_sources()
    LIBRARIES = ["utf8proc", "dl"]


class BuildWithTables(build_py):
    """Copies data/kesti*.txt into kesti/tables/ and the licence beside it."""

    def run(self):
        super().run()
        package = os.path.join(self.build_lib, "kesti")
        tables = os.path.join(package, "tables")
        os.makedirs(tables, exist_ok=True)
        for table in glob.glob(os.path.join(HERE, "data", "kesti*.txt")):
            shutil.copyfile(table, os.path.join(tables, os.path.basename(table)))
        shutil.copyfile(os.path.join(HERE, "data", "LICENSE-CC-CEDICT.txt"),
                        os.path.join(package, "LICENSE-CC-CEDICT.txt"))


ParallelCompile("KESTI_BUILD_JOBS", default=0).install()

setup(
    ext_modules=[Pybind11Extension(
        "kesti._kesti", SOURCES, include_dirs=[HERE, os.path.join(HERE, "include")],
        libraries=LIBRARIES, library_dirs=[LINK_LIBRARY] if LINK_LIBRARY else [], cxx_std=20,
        define_macros=[("KESTI_LIB_TO_TABLES", '"../share/kesti"')],
        # Optimized as the CMake build's release (Python's own flags say -O2
        # on Debian): convert_many keeps up with the command. Threads for
        # convert_many's large batches.
        extra_compile_args=["-O3", "-pthread"], extra_link_args=["-pthread"])],
    cmdclass={"build_py": BuildWithTables},
    # Beside the CMake build trees, never inside them.
    options={"build": {"build_base": "build-python/setuptools"}},
)
