#!/usr/bin/env python3
"""Packaging end to end: the installer built again the way a packager builds it, each in a build folder of
its own with the toolchain of the given build, and installed in that build's Wine test bed.

- product_folder_without_fj_stops_the_configuration: the reason is in CMake's message.
- signed_build_verifies_and_installs: a throwaway certificate made here; osslsigncode verify accepts
  FeijingSetup.exe, fj.exe and uninst.exe as built and the two programs as packed (and refuses the unsigned
  build's installer); the signed installer installs and uninstalls (installer_e2e.py's default case).
- product_folder_with_sub_folders_installs_and_uninstalls: a small product folder with sub-folders, an empty
  one and a GBK name; the payload holds it in path order with the project's uninst.exe; the installer puts it
  in place and the uninstaller takes it away again (installer_e2e.py's default case).

    packaging_e2e.py --build DIR [CASE ...]
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import traceback
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import installer_e2e  # noqa: E402

INSTALL_CASE = "default_install_runs_the_program_and_uninstalls"
# The configuration of the given build that the packaging builds take over.
INHERITED = ("CMAKE_TOOLCHAIN_FILE", "CMAKE_BUILD_TYPE", "CMAKE_C_COMPILER_LAUNCHER", "CMAKE_CXX_COMPILER_LAUNCHER",
             "MINIZIP_SOURCE_DIR", "E2E_PYTHON")


class Failure(Exception):
    pass


def cache_values(build):
    values = {}
    with open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8", errors="replace") as f:
        for line in f:
            name, _, rest = line.partition(":")
            if name in INHERITED and "=" in rest:
                values[name] = rest.split("=", 1)[1].strip()
    return values


class Packaging:
    def __init__(self, build):
        self.build = os.path.abspath(build)
        self.work = os.path.join(self.build, "packaging")
        self.cache = cache_values(self.build)
        self.faults = []

    def check(self, condition, message):
        if not condition:
            self.faults.append(message)
        return condition

    def configure(self, name, options):
        """A fresh build folder `name` configured with `options`; the completed process."""
        folder = os.path.join(self.work, "build-" + name)
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        args = ["cmake", "-S", ROOT, "-B", folder, "-G", "Ninja"]
        args += ["-D%s=%s" % (k, v) for k, v in self.cache.items() if v]
        args += ["-D%s=%s" % item for item in options.items()]
        return subprocess.run(args, capture_output=True, text=True), folder

    def build_installer(self, name, options):
        result, folder = self.configure(name, options)
        if result.returncode != 0:
            raise Failure("configuring %s failed:\n%s" % (name, result.stdout[-2000:] + result.stderr[-3000:]))
        # Builds beside each other share ccache entries when paths are taken relative to the build folder.
        env = dict(os.environ, CCACHE_BASEDIR=os.path.commonpath([ROOT, folder]))
        result = subprocess.run(["cmake", "--build", folder, "--target", "FeijingSetup", "--", "-j2"],
                                capture_output=True, text=True, env=env)
        if result.returncode != 0:
            raise Failure("building %s failed:\n%s" % (name, result.stdout[-4000:] + result.stderr[-2000:]))
        return folder, result.stdout

    def install_and_uninstall(self, folder):
        """installer_e2e.py's default case against the build in `folder`, in the given build's test bed."""
        result = subprocess.run([sys.executable, os.path.join(ROOT, "tests", "e2e", "installer_e2e.py"),
                                 "--build", folder, INSTALL_CASE], capture_output=True, text=True)
        print(result.stdout.rstrip())
        self.check(result.returncode == 0, "the installer of %s installs and uninstalls (see above)" %
                   os.path.basename(folder))


def verify_signature(path, cert):
    result = subprocess.run(["osslsigncode", "verify", "-CAfile", cert, "-in", path], capture_output=True, text=True)
    return result.returncode == 0 and "Signature verification: ok" in result.stdout, result.stdout + result.stderr


# ---- cases ----

def product_folder_without_fj_stops_the_configuration(p):
    product = os.path.join(p.work, "no-fj-product")
    shutil.rmtree(product, ignore_errors=True)
    os.makedirs(os.path.join(product, "bin"))
    with open(os.path.join(product, "bin", "fj.exe"), "wb") as f:
        f.write(b"MZ")
    result, _ = p.configure("no-fj", {"FEIJING_PRODUCT_DIR": product})
    output = " ".join((result.stdout + result.stderr).split())  # CMake wraps its messages
    p.check(result.returncode != 0, "configuring with a product folder without a top-level fj.exe fails")
    p.check("has no fj.exe at its top level" in output,
            "CMake says that fj.exe is missing (said: %s)" % output[-1500:])


def signed_build_verifies_and_installs(p):
    with tempfile.TemporaryDirectory() as keys:
        cert, key = os.path.join(keys, "cert.pem"), os.path.join(keys, "key.pem")
        made = subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256", "-days", "2",
                               "-subj", "/CN=Feijing packaging test", "-addext", "extendedKeyUsage=codeSigning",
                               "-keyout", key, "-out", cert], capture_output=True, text=True)
        if not p.check(made.returncode == 0, "openssl made a throwaway certificate: %s" % made.stderr):
            return
        folder, _ = p.build_installer("signed", {"FEIJING_SIGN_CERT": cert, "FEIJING_SIGN_KEY": key})
        unpacked = os.path.join(folder, "packed")
        shutil.rmtree(unpacked, ignore_errors=True)
        with zipfile.ZipFile(os.path.join(folder, "payload", "sj.zip")) as archive:
            archive.extract("fj.exe", unpacked)
            archive.extract("uninst.exe", unpacked)
        signed = [os.path.join(folder, "installer", name) for name in ("FeijingSetup.exe", "fj.exe", "uninst.exe")]
        signed += [os.path.join(unpacked, name) for name in ("fj.exe", "uninst.exe")]
        for path in signed:
            ok, output = verify_signature(path, cert)
            p.check(ok, "osslsigncode verify accepts %s:\n%s" % (os.path.relpath(path, folder), output))
        ok, _ = verify_signature(os.path.join(p.build, "installer", "FeijingSetup.exe"), cert)
        p.check(not ok, "osslsigncode verify refuses the unsigned build's installer")
        p.install_and_uninstall(folder)


def product_folder_with_sub_folders_installs_and_uninstalls(p):
    product = os.path.join(p.work, "product-folder")
    shutil.rmtree(product, ignore_errors=True)
    files = {
        "fj.exe": open(os.path.join(p.build, "installer", "fj.exe"), "rb").read(),
        "lib/net.dll": os.urandom(40000),
        "lib/deep/\u6570\u636e.dat": b"data " * 1000,  # 数据.dat
        "readme.txt": b"product readme\r\n",
    }
    for relative, data in files.items():
        path = os.path.join(product, *relative.split("/"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    os.makedirs(os.path.join(product, "logs"))
    folder, _ = p.build_installer("product", {"FEIJING_PRODUCT_DIR": product})
    with zipfile.ZipFile(os.path.join(folder, "payload", "sj.zip")) as archive:
        names = archive.namelist()
        p.check(names == ["fj.exe", "lib/deep/\u6570\u636e.dat", "lib/net.dll", "logs/", "readme.txt", "uninst.exe"],
                "the payload holds the product folder in path order and the project's uninst.exe (found %s)" % names)
        with open(os.path.join(folder, "installer", "uninst.exe"), "rb") as f:
            p.check(archive.read("uninst.exe") == f.read(), "the packed uninst.exe is the one built with the list")
        for relative, data in files.items():
            p.check(archive.read(relative) == data, "%s is packed unchanged" % relative)
    p.install_and_uninstall(folder)


CASES = [product_folder_without_fj_stops_the_configuration, signed_build_verifies_and_installs,
         product_folder_with_sub_folders_installs_and_uninstalls]


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--build", required=True, help="a configured, built build folder whose toolchain is taken over")
    ap.add_argument("cases", nargs="*", help="names (or parts of names) of the cases to run; all by default")
    options = ap.parse_args(argv)
    for needed in ("cmake", "ninja", "osslsigncode", "openssl"):
        if not shutil.which(needed):
            print("missing tool: %s (run tools/setup.sh)" % needed)
            return 1
    selected = [c for c in CASES if not options.cases or any(n in c.__name__ for n in options.cases)]
    # The given build's test bed, brought up here when it is not running; the nested runs take its environment.
    bed = installer_e2e.TestBed(os.path.abspath(options.build))
    bed.up()
    failed = []
    try:
        for case in selected:
            p = Packaging(options.build)
            try:
                case(p)
            except Failure as failure:
                p.faults.append(str(failure))
            except Exception:
                p.faults.append(traceback.format_exc())
            print("[%s] %s" % ("FAIL" if p.faults else "PASS", case.__name__))
            for fault in p.faults:
                print("       fault: " + fault)
            sys.stdout.flush()
            if p.faults:
                failed.append(case.__name__)
    finally:
        bed.down()
    print("%d of %d cases passed" % (len(selected) - len(failed), len(selected)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
