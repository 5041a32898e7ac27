"""Builds the lmwire package: the Python modules as they are, and the extension lmwire._native
by the project's own CMake build (target lmwire_native, linked with a static LMWireTypes), so
that the package built here and the one the CMake build tests are the same."""

import os
import re
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent


def library_version():
    text = (ROOT / "CMakeLists.txt").read_text()
    return re.search(r"project\(LMWireTypes\s+VERSION\s+([0-9.]+)", text).group(1)


class CMakeExtension(Extension):
    def __init__(self, name):
        super().__init__(name, sources=[])


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        target = Path(self.get_ext_fullpath(ext.name)).resolve()
        build = Path(self.build_temp).resolve() / "cmake"
        build.mkdir(parents=True, exist_ok=True)
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL") or str(os.cpu_count() or 1)
        configure = [
            "cmake", "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
            "-DLMWIRE_PYTHON=ON", f"-DPython3_EXECUTABLE={sys.executable}",
            f"-DLMWIRE_PYTHON_PACKAGE_DIR={target.parent}", "-DLMWIRE_SHARED=OFF",
            "-DLMWIRE_INSTALL=OFF", "-DLMWIRE_BUILD_TESTS=OFF", "-DLMWIRE_BUILD_EXAMPLES=OFF",
            "-DLMWIRE_BUILD_TOOLS=OFF"]
        try:
            import pybind11  # the Python package knows where its CMake files are
            configure.append(f"-Dpybind11_DIR={pybind11.get_cmake_dir()}")
        except ImportError:
            pass  # pybind11-dev's CMake files are found in the system's directories
        subprocess.run(configure, check=True)
        subprocess.run(["cmake", "--build", str(build), "--target", "lmwire_native",
                        "--parallel", jobs], check=True)


setup(
    name="lmwire",
    version=library_version(),
    description="Price records, price conversions and packets of LMWireTypes, with numpy",
    license="MIT",
    python_requires=">=3.9",
    install_requires=["numpy"],
    extras_require={"frame": ["pandas"], "plot": ["matplotlib"]},
    packages=["lmwire"],
    ext_modules=[CMakeExtension("lmwire._native")],
    cmdclass={"build_ext": CMakeBuild},
    zip_safe=False,
)
