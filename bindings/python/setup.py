"""Builds the extension tavrik._engine from the program's own C++ sources in ../../src.

The core is compiled here, with the flags the program's build uses for its arithmetic
(no contraction into fused multiply-adds, no fast math), so that every number is the one
tavrik-batch prints. TAVRIK_BUILD_JOBS sets how many sources compile at once (default: every
core); TAVRIK_PY_BUILD moves setuptools' build folder out of the source tree.
"""

import os
import re
from pathlib import Path

from pybind11.setup_helpers import ParallelCompile, Pybind11Extension, build_ext
from setuptools import setup

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent.parent
SRC = ROOT / "src"

# The Qt-free core, layer by layer, up to the engine; the module draws no charts, so the chart
# layer's geometry stays out.
CORE_LAYERS = ["state", "io", "datafile", "report", "analysis", "export", "api"]


def project_version():
    text = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    found = re.search(r"project\(\s*tavrik\s+VERSION\s+([0-9.]+)", text)
    if not found:
        raise RuntimeError("CMakeLists.txt declares no project version")
    return found.group(1)


def relative(path):
    # setuptools takes only /-separated paths relative to this folder
    return Path(os.path.relpath(path, HERE)).as_posix()


def core_sources():
    files = [f for layer in CORE_LAYERS for f in sorted((SRC / layer).glob("*.cpp"))]
    return [relative(f) for f in files]


class BuildExt(build_ext):
    """Writes state/Version.h, as CMake does, and sets the flags of the core's arithmetic."""

    def build_extensions(self):
        generated = Path(self.build_temp).resolve() / "generated"
        header = generated / "state" / "Version.h"
        header.parent.mkdir(parents=True, exist_ok=True)
        template = (SRC / "state" / "Version.h.in").read_text(encoding="utf-8")
        text = template.replace("@PROJECT_VERSION@", VERSION)
        if not header.exists() or header.read_text(encoding="utf-8") != text:
            header.write_text(text, encoding="utf-8")
        # an object's place in the build folder follows its source's path from the
        # repository's root: ../ in it would put the object outside
        named = self.compiler.object_filenames

        def object_filenames(sources, strip_dir=0, output_dir=""):
            inside = [os.path.relpath(os.path.abspath(s), ROOT) for s in sources]
            return named(inside, strip_dir, output_dir)

        self.compiler.object_filenames = object_filenames
        msvc = self.compiler.compiler_type == "msvc"
        for ext in self.extensions:
            ext.include_dirs += [str(generated)]
            if msvc:
                ext.extra_compile_args += ["/std:c++20", "/fp:precise", "/utf-8", "/DNDEBUG"]
            else:
                # after Python's own flags, so that these win
                ext.extra_compile_args += [
                    "-std=c++20",
                    "-ffp-contract=off",
                    "-fno-fast-math",
                    "-g0",
                    "-DNDEBUG",
                    "-pthread",
                ]
                ext.extra_link_args += ["-pthread"]
        super().build_extensions()


def build_options():
    base = os.environ.get("TAVRIK_PY_BUILD")
    if not base:
        return {}
    # the egg-info too, which would otherwise be written beside this file
    os.makedirs(base, exist_ok=True)
    return {"build": {"build_base": base}, "egg_info": {"egg_base": relative(base)}}


VERSION = project_version()
ParallelCompile("TAVRIK_BUILD_JOBS", default=0).install()

setup(
    version=VERSION,
    ext_modules=[
        Pybind11Extension(
            "tavrik._engine",
            ["src/EngineModule.cpp"] + core_sources(),
            include_dirs=[relative(SRC), relative(ROOT / "include")],
            # numbers become text through {fmt}, compiled in rather than linked
            define_macros=[("FMT_HEADER_ONLY", None)],
            cxx_std=0,  # set above, with the other flags
        )
    ],
    cmdclass={"build_ext": BuildExt},
    options=build_options(),
)
