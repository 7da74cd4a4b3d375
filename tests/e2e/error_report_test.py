"""A run that shows an error report saves nothing and ends as refused.

Every malformed song and style of the invalid corpus is run through `info`, `working` and
`style`. Whenever a run prints a common error report ("Error #: …" or one of the fixed texts the
report shows for a file fault), its exit status must be 1 and the file it was asked to write must
be exactly as it was before (here: a file that was already there, replaced only with --force).
"""

import os
import subprocess
import sys
import unittest

from e2e_support import FolderTest

CLI = None
INVALID_DIR = None

REPORT_STARTS = ("Error #: ",)
REPORT_TEXTS = (
    "This file is Not found.",
    "Can't open your file",
    "Internal disk error.",
    "Disk is full.",
    "There was a problem With this file",
    "That device appears unavailable.",
    "Insert a disk in the drive ",
    "That path doesn't exist.",
)

RUNS = {
    "info": ["info"],
    "working": ["working", "--force"],
    "style": ["style", "--force", "--all-sections", "--auto-casm"],
}
KEPT_CONTENT = b"a file of the user's, kept unless a run succeeds"


def corpus_files():
    for folder in sorted(os.listdir(INVALID_DIR)):
        path = os.path.join(INVALID_DIR, folder)
        if not os.path.isdir(path):
            continue
        for name in sorted(os.listdir(path)):
            if name.lower().endswith((".mid", ".sty")):
                yield os.path.join(path, name)


def shows_error_report(stderr):
    lines = stderr.splitlines()
    return any(line.startswith(REPORT_STARTS) or line in REPORT_TEXTS for line in lines)


class ErrorReportEndsTheRun(FolderTest):
    def test_no_output_and_status_1_after_an_error_report(self):
        reported = 0
        for song in corpus_files():
            for name, words in RUNS.items():
                with self.subTest(song=os.path.relpath(song, INVALID_DIR), run=name):
                    output = self.path("out-" + name)
                    with open(output, "wb") as f:
                        f.write(KEPT_CONTENT)
                    command = [CLI] + words + ["--work-dir", self.fresh_work_dir(), song]
                    if name != "info":
                        command += ["-o", output]
                    run = subprocess.run(command, capture_output=True, text=True,
                                         encoding="cp1252", timeout=60)
                    if not shows_error_report(run.stderr):
                        continue
                    reported += 1
                    self.assertEqual(run.returncode, 1, run.stderr)
                    with open(output, "rb") as f:
                        self.assertEqual(f.read(), KEPT_CONTENT)
        # The corpus is there to make reports: a run of it that shows none has lost its purpose.
        self.assertGreater(reported, 10)


if __name__ == "__main__":
    CLI = sys.argv.pop(1)
    INVALID_DIR = sys.argv.pop(1)
    unittest.main()
