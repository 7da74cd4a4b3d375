#!/usr/bin/env python3
"""End-to-end: configuring the project. A build given no build type is Release; the warnings are
always on and are errors only with ZEPHRANE_WERROR. Configures the core alone in a temporary
folder and reads the cache and the compile commands."""

import json
import os
import subprocess
import sys
import unittest

from e2e_support import FolderTest

CMAKE = sys.argv.pop(1) if len(sys.argv) > 1 else "cmake"
SOURCE = sys.argv.pop(1) if len(sys.argv) > 1 else "."
COMPILER = sys.argv.pop(1) if len(sys.argv) > 1 else "c++"

CORE_ONLY = ["-DZEPHRANE_BUILD_%s=OFF" % part
             for part in ("TESTS", "BENCHMARKS", "CLI", "GUI", "PLAYER")]


class Configure(FolderTest):
    def configure(self, *options):
        build = self.path("build")
        result = subprocess.run(
            [CMAKE, "-S", SOURCE, "-B", build, "-G", "Ninja", "-DCMAKE_CXX_COMPILER=" + COMPILER,
             "-DCMAKE_EXPORT_COMPILE_COMMANDS=ON", *CORE_ONLY, *options],
            capture_output=True, text=True)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        return build, result.stdout

    def cached(self, build, name):
        with open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8") as cache:
            for line in cache:
                key, _, value = line.rstrip("\n").partition("=")
                if key.split(":")[0] == name:
                    return value
        return None

    def core_flags(self, build):
        """The flags zephrane_core's standard_paths.cpp is compiled with."""
        with open(os.path.join(build, "compile_commands.json"), encoding="utf-8") as commands:
            for entry in json.load(commands):
                if entry["file"].endswith(os.path.join("src", "app", "standard_paths.cpp")):
                    return entry["command"].split()
        self.fail("standard_paths.cpp is not in the compile commands")

    def test_no_build_type_means_release_with_warnings_that_are_not_errors(self):
        build, output = self.configure()
        self.assertIn("No build type given: building Release", output)
        self.assertEqual(self.cached(build, "CMAKE_BUILD_TYPE"), "Release")
        self.assertEqual(self.cached(build, "ZEPHRANE_WERROR"), "OFF")
        flags = self.core_flags(build)
        for flag in ("-O3", "-Wall", "-Wextra", "-Wshadow"):
            self.assertIn(flag, flags)
        self.assertNotIn("-Werror", flags)

    def test_a_given_build_type_stays_and_werror_makes_warnings_errors(self):
        build, output = self.configure("-DCMAKE_BUILD_TYPE=Debug", "-DZEPHRANE_WERROR=ON")
        self.assertNotIn("No build type given", output)
        self.assertEqual(self.cached(build, "CMAKE_BUILD_TYPE"), "Debug")
        flags = self.core_flags(build)
        self.assertNotIn("-O3", flags)
        for flag in ("-Wall", "-Wextra", "-Wshadow", "-Werror"):
            self.assertIn(flag, flags)


if __name__ == "__main__":
    unittest.main()
