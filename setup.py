"""Builds the lmwire package: the Python modules of python/lmwire as they are, the extension
lmwire._native by the project's own CMake build (target lmwire_native, linked with a static
LMWireTypes), so that the package built here and the one the CMake build tests are the same, and
the command-line tool lmwire from the same CMake run, installed beside the environment's scripts.

It sits at the repository's root so that an sdist carries the C++ sources it builds (MANIFEST.in
lists them); the package's metadata is pyproject.toml's. CMAKE_ARGS (space-separated, as shell
words) adds options to the CMake configure step, e.g. CMAKE_ARGS=-DLMWIRE_BUILD_TOOLS=OFF.
"""

import os
import re
import shlex
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Command, Extension, setup
from setuptools.command.build_ext import build_ext
from setuptools.command.install import install

HERE = Path(__file__).resolve().parent


def library_version():
    text = (HERE / "CMakeLists.txt").read_text()
    return re.search(r"project\(LMWireTypes\s+VERSION\s+([0-9.]+)", text).group(1)


class CMakeExtension(Extension):
    def __init__(self, name):
        super().__init__(name, sources=[])


class CMakeBuild(build_ext):
    """Configures once and builds the extension and, where its libraries are found, the tool.

    ``tool`` is then the built program's path, or None when the tool was left out."""

    tool = None

    def build_extension(self, ext):
        target = Path(self.get_ext_fullpath(ext.name)).resolve()
        build = Path(self.build_temp).resolve() / "cmake"
        build.mkdir(parents=True, exist_ok=True)
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL") or str(os.cpu_count() or 1)
        configure = [
            "cmake", "-S", str(HERE), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
            "-DLMWIRE_PYTHON=ON", f"-DPython3_EXECUTABLE={sys.executable}",
            f"-DLMWIRE_PYTHON_PACKAGE_DIR={target.parent}", "-DLMWIRE_SHARED=OFF",
            "-DLMWIRE_INSTALL=OFF", "-DLMWIRE_BUILD_TESTS=OFF", "-DLMWIRE_BUILD_EXAMPLES=OFF",
            "-DLMWIRE_BUILD_TOOLS=ON"]
        try:
            import pybind11  # the Python package knows where its CMake files are
            configure.append(f"-Dpybind11_DIR={pybind11.get_cmake_dir()}")
        except ImportError:
            pass  # pybind11-dev's CMake files are found in the system's directories
        configure += shlex.split(os.environ.get("CMAKE_ARGS", ""))
        subprocess.run(configure, check=True)
        # python/CMakeLists.txt names the tool's program here when the tool is part of the build.
        named = build / "lmwire-tool-path"
        self.tool = named.read_text().strip() if named.exists() else None
        targets = ["lmwire_native"] + (["lmwire"] if self.tool else [])
        subprocess.run(["cmake", "--build", str(build), "--target", *targets, "--parallel", jobs],
                       check=True)
        if not self.tool:
            print("lmwire: the command-line tool was left out (it needs CLI11, nlohmann-json and "
                  "fmt: Debian libcli11-dev, nlohmann-json3-dev, libfmt-dev); the Python package "
                  "is complete without it", file=sys.stderr)


class InstallTool(Command):
    """Copies the built tool into the scripts directory (a venv's bin/, a wheel's scripts)."""

    description = "install the lmwire command-line tool"
    user_options = []

    def initialize_options(self):
        self.install_dir = None
        self.outfiles = []

    def finalize_options(self):
        self.set_undefined_options("install", ("install_scripts", "install_dir"))

    def run(self):
        tool = self.get_finalized_command("build_ext").tool
        if tool:
            self.mkpath(self.install_dir)
            installed = os.path.join(self.install_dir, "lmwire")
            shutil.copy2(tool, installed)  # keeps the executable bits
            self.outfiles = [installed]

    def get_outputs(self):
        return self.outfiles


class Install(install):
    sub_commands = install.sub_commands + [("install_tool", lambda self: True)]


setup(
    version=library_version(),
    packages=["lmwire"],
    package_dir={"": "python"},
    package_data={"lmwire": ["py.typed", "*.pyi"]},
    ext_modules=[CMakeExtension("lmwire._native")],
    cmdclass={"build_ext": CMakeBuild, "install": Install, "install_tool": InstallTool},
    # Beside the CMake presets' trees, not among them.
    options={"build": {"build_base": "build/pip"}},
    zip_safe=False,
)
