#!/usr/bin/env python3
"""tools/make_payload.py with a packager's product folder: what goes into the archive, in which order and
form, the list the uninstaller gets, and the folders it refuses with a reason."""
import io
import os
import re
import sys
import tempfile
import unittest
import zipfile
from contextlib import redirect_stderr

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import make_payload  # noqa: E402

EPOCH = 1700000000  # 2023-11-14 22:13:20 UTC


def make_tree(root, layout):
    """`layout`: relative path -> bytes, or None for an empty folder."""
    for relative, data in layout.items():
        path = os.path.join(root, *relative.split("/"))
        if data is None:
            os.makedirs(path, exist_ok=True)
        else:
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)


def c_strings(header, name):
    """The strings of the array `name` in a generated header, decoded from their escapes as GBK."""
    body = re.search(r"%s = \{(.*?)\};" % name, header, re.S).group(1)
    out = []
    for literal in re.findall(r'"((?:[^"\\]|\\.)*)"', body):
        raw = re.sub(r"\\([0-7]{3}|\\)", lambda m: "\\" if m.group(1) == "\\" else chr(int(m.group(1), 8)), literal)
        out.append(raw.encode("latin-1").decode("gbk"))
    return out


class ProductFolder(unittest.TestCase):
    def setUp(self):
        self.temp = tempfile.TemporaryDirectory()
        self.root = os.path.join(self.temp.name, "product")
        self.uninst = os.path.join(self.temp.name, "uninst-built.exe")
        with open(self.uninst, "wb") as f:
            f.write(b"MZ project uninstaller")

    def tearDown(self):
        self.temp.cleanup()

    def pack(self, epoch=EPOCH):
        entries = make_payload.product_entries(self.root, self.uninst)
        return entries, make_payload.build(entries, epoch)

    def refusal(self):
        with redirect_stderr(io.StringIO()) as err:
            code = make_payload.main(["--product-dir", self.root, "--check"])
        return code, err.getvalue()

    def test_archive_holds_the_folder_in_path_order_with_the_projects_uninstaller_last(self):
        # 乗 ends in the byte of "\" in GBK: the list must not take it for a separator.
        make_tree(self.root, {"readme.txt": b"r", "lib/net.dll": b"n" * 5000, "lib/deep/\u6570\u636e.dat": b"d",
                              "fj.exe": b"MZ fj", "logs": None, "\u4e57/a.dll": b"a", "Lib2/x.dll": b"x"})
        entries, data = self.pack()
        archive = zipfile.ZipFile(io.BytesIO(data))
        names = [info.filename for info in archive.infolist()]
        self.assertEqual(names, ["Lib2/x.dll", "fj.exe", "lib/deep/\u6570\u636e.dat", "lib/net.dll", "logs/",
                                 "readme.txt", "\u4e57/a.dll", "uninst.exe"])
        self.assertEqual(archive.comment, b"")
        for info in archive.infolist():
            self.assertEqual(info.compress_type, zipfile.ZIP_DEFLATED, info.filename)
            self.assertEqual(info.external_attr, 0x10 if info.is_dir() else 0x20, info.filename)
            self.assertEqual(info.date_time, (2023, 11, 14, 22, 13, 20), info.filename)
        self.assertEqual(archive.read("uninst.exe"), b"MZ project uninstaller")
        self.assertEqual(archive.read("lib/net.dll"), b"n" * 5000)

        header = make_payload.installed_list(entries)
        self.assertEqual(c_strings(header, "installedFiles"),
                         ["Lib2\\x.dll", "fj.exe", "lib\\deep\\\u6570\u636e.dat", "lib\\net.dll", "readme.txt",
                          "\u4e57\\a.dll", "uninst.exe"])
        self.assertEqual(c_strings(header, "installedFolders"), ["lib\\deep", "Lib2", "lib", "logs", "\u4e57"])

    def test_same_folder_gives_the_same_bytes_whatever_its_file_times(self):
        make_tree(self.root, {"fj.exe": b"MZ fj", "sub/a.dll": b"a", "sub/b.dll": b"b"})
        _, first = self.pack()
        for parent, _, files in os.walk(self.root):
            for name in files:
                os.utime(os.path.join(parent, name), (0, 1234567890))
        _, second = self.pack()
        self.assertEqual(first, second)
        _, other_commit = self.pack(EPOCH + 86400)
        self.assertNotEqual(first, other_commit)

    def test_folders_own_uninstaller_is_kept_and_none_is_added(self):
        make_tree(self.root, {"fj.exe": b"MZ fj", "uninst.exe": b"packager's own"})
        _, data = self.pack()
        archive = zipfile.ZipFile(io.BytesIO(data))
        self.assertEqual(archive.namelist(), ["fj.exe", "uninst.exe"])
        self.assertEqual(archive.read("uninst.exe"), b"packager's own")

    def test_folders_the_installer_cannot_take_are_refused_with_the_reason(self):
        cases = [
            ({"readme.txt": b"r", "bin/fj.exe": b"f"}, "no fj.exe at its top level"),
            ({"fj.exe": b"f", "sj.zip": b"z"}, "sj.zip is a name the installer writes"),
            ({"fj.exe": b"f", "UNINSTALL.DAT": b"u"}, "Uninstall.dat is a name the installer writes"),
            ({"fj.exe": b"f", "lib/A.dll": b"1", "lib/a.dll": b"2"}, "'lib/A.dll' and 'lib/a.dll' are the same name"),
            ({"fj.exe": b"f", "data": b"1", "DATA/x.bin": b"2"}, "'DATA' and 'data' are the same name"),
            ({"fj.exe": b"f", "a:b.txt": b"x"}, "a character Windows does not allow"),
            ({"fj.exe": b"f", "notes.": b"x"}, "ends in a space or dot"),
            ({"fj.exe": b"f", "sub/con.txt": b"x"}, "a device name"),
            ({"fj.exe": b"f", "\U0001F600.txt": b"x"}, "cannot be written in GBK"),
            ({"fj.exe": b"f", "d/" + "x" * 170: b"x"}, "longer than 160 bytes"),
        ]
        for layout, reason in cases:
            with self.subTest(reason=reason):
                make_tree(self.root, layout)
                code, message = self.refusal()
                self.assertEqual(code, 1)
                self.assertIn(reason, message)
                self.tearDown()
                self.setUp()

    def test_symbolic_links_are_refused(self):
        make_tree(self.root, {"fj.exe": b"f", "real/a.dll": b"a"})
        os.symlink(os.path.join(self.root, "real"), os.path.join(self.root, "linked"))
        code, message = self.refusal()
        self.assertEqual(code, 1)
        self.assertIn("'linked' is a symbolic link", message)


class StandIns(unittest.TestCase):
    def test_list_needs_no_built_program_and_names_the_eight_files(self):
        header = make_payload.installed_list(make_payload.stand_in_entries(None, None))
        self.assertEqual(c_strings(header, "installedFiles"),
                         ["fjcore.dll", "fjnet.dll", "fj.exe", "fjsvc.exe", "fjlsp.dll", "fjui.dll", "uninst.exe",
                          "fjupdate.exe"])
        self.assertEqual(c_strings(header, "installedFolders"), [])


if __name__ == "__main__":
    unittest.main()
