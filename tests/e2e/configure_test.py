#!/usr/bin/env python3
"""End-to-end: configuring the project. A build given no build type is Release; the warnings are
always on and are errors only with ZEPHRANE_WERROR. Configures the core alone in a temporary
folder and reads the cache and the compile commands."""

import json
import os
import re
import subprocess
import unittest

from e2e_support import FolderTest, take_arguments

CMAKE, SOURCE, COMPILER = take_arguments("cmake", ".", "c++")
CORE_ONLY = ["-DZEPHRANE_BUILD_%s=OFF" % part
             for part in ("TESTS", "BENCHMARKS", "CLI", "GUI", "PLAYER")]
WARNINGS = ["-Wall", "-Wextra", "-Wshadow"]
# Options, the cached build type and ZEPHRANE_WERROR, the flags among -O3, the warnings, -Werror.
CASES = [((), "Release", "OFF", ["-O3", *WARNINGS]),
         (("-DCMAKE_BUILD_TYPE=Debug", "-DZEPHRANE_WERROR=ON"), "Debug", "ON",
          [*WARNINGS, "-Werror"])]


class Configure(FolderTest):
    def test_build_type_and_warning_flags(self):
        for options, build_type, werror, flags in CASES:
            with self.subTest(options=options):
                build = self.path("build-" + build_type)
                done = subprocess.run([CMAKE, "-S", SOURCE, "-B", build, "-G", "Ninja",
                                       "-DCMAKE_CXX_COMPILER=" + COMPILER,
                                       "-DCMAKE_EXPORT_COMPILE_COMMANDS=ON", *CORE_ONLY, *options],
                                      capture_output=True, text=True)
                self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
                self.assertEqual("No build type given: building Release" in done.stdout,
                                 not options)
                with open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8") as cache:
                    cached = dict(re.findall(r"^(\w+):\w+=(.*)$", cache.read(), re.M))
                self.assertEqual((cached["CMAKE_BUILD_TYPE"], cached["ZEPHRANE_WERROR"]),
                                 (build_type, werror))
                with open(os.path.join(build, "compile_commands.json"), encoding="utf-8") as file:
                    used = next(entry["command"].split() for entry in json.load(file) if entry[
                        "file"].endswith(os.path.join("src", "app", "standard_paths.cpp")))
                self.assertEqual([f for f in ["-O3", *WARNINGS, "-Werror"] if f in used], flags)


if __name__ == "__main__":
    unittest.main()
