"""What the end-to-end tests share: a test case with a temporary folder of its own."""

import os
import tempfile
import unittest


class FolderTest(unittest.TestCase):
    """A test case whose files live in a temporary folder, removed after each test."""

    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.work_dirs = 0

    def tearDown(self):
        self.dir.cleanup()

    def path(self, name):
        return os.path.join(self.dir.name, name)

    def fresh_work_dir(self):
        """A new empty folder for the working file of one zephrane-cli run."""
        self.work_dirs += 1
        work = self.path("work%d" % self.work_dirs)
        os.mkdir(work)
        return work
